// JsValue::from_json against nlohmann::json::parse, and the display form against
// nlohmann::json::dump, on the same generated 1 MiB JSON text. Throughput counts the bytes of
// that JSON text in every case, so the figures of a pair compare directly.
#include "javascript/js_value.hpp"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <random>
#include <string>

namespace {

// An array of records like those a page hands back: ids, names with the odd quote or accent,
// flags, decimal scores, coordinates, tag lists and nested number pairs.
const std::string& sample_json() {
	static const std::string text = [] {
		std::mt19937 random(7);
		auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
		const char* words[] = {"alpha", "beta", "gamma", "delta", "report", "window", "it's", "caf\xc3\xa9",
		                       "price \xe2\x82\xac", "line\\nbreak", "\\\"quoted\\\"", "path/to/file", "Tarnwick"};
		auto words_text = [&](int count) {
			std::string s;
			for (int i = 0; i < count; ++i) s += (i ? " " : "") + std::string(words[pick(13)]);
			return s;
		};
		std::string out = "[";
		for (int id = 0; out.size() < (1u << 20) - 400; ++id) {
			if (id) out += ',';
			out += "{\"id\":" + std::to_string(100000 + id);
			out += ",\"name\":\"" + words_text(2) + "\"";
			out += ",\"active\":" + std::string(pick(2) ? "true" : "false");
			out += ",\"score\":" + std::to_string(pick(10000)) + "." + std::to_string(pick(100));
			out += ",\"location\":{\"lat\":" + std::to_string(pick(90)) + "." + std::to_string(100000 + pick(900000)) +
			       ",\"lon\":-" + std::to_string(pick(180)) + "." + std::to_string(100000 + pick(900000)) + "}";
			out += ",\"tags\":[";
			for (int t = pick(4); t >= 0; --t) out += "\"" + std::string(words[pick(13)]) + "\"" + (t ? "," : "");
			out += "],\"history\":[";
			for (int h = pick(3); h >= 0; --h)
				out += "[" + std::to_string(pick(1000000)) + "," + std::to_string(pick(1000)) + "e-2]" + (h ? "," : "");
			out += "],\"note\":" + (pick(3) ? "\"" + words_text(6) + "\"" : std::string("null")) + "}";
		}
		out += "]";
		return out;
	}();
	return text;
}

void BM_JsValueFromJson(benchmark::State& state) {
	const std::string& text = sample_json();
	for (auto _ : state) benchmark::DoNotOptimize(bw::JsValue::from_json(text));
	state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_NlohmannParse(benchmark::State& state) {
	const std::string& text = sample_json();
	for (auto _ : state) benchmark::DoNotOptimize(nlohmann::json::parse(text));
	state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_JsValueDisplay(benchmark::State& state) {
	const std::string& text = sample_json();
	bw::JsValue value = bw::JsValue::from_json(text);
	if (value.kind() != bw::JsValue::Kind::Array) state.SkipWithError("sample is not JSON");
	for (auto _ : state) benchmark::DoNotOptimize(value.to_string());
	state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_NlohmannDump(benchmark::State& state) {
	const std::string& text = sample_json();
	nlohmann::json value = nlohmann::json::parse(text);
	for (auto _ : state) benchmark::DoNotOptimize(value.dump());
	state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

BENCHMARK(BM_JsValueFromJson)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NlohmannParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JsValueDisplay)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NlohmannDump)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
