#include "core/browser_window/edge2/creation_failure.hpp"

#include "core/win32/wide_text.hpp"

#include "core/browser_window/edge2/engine_text.hpp"
#include "core/fatal.hpp"

#include <filesystem>

namespace bw::edge2 {

namespace {

bool error_box_skipped() {
	wchar_t value[4] = {};
	DWORD length = GetEnvironmentVariableW(L"BW_NO_ERROR_BOX", value, 4);
	return length == 1 && value[0] == L'1';
}

std::wstring box_title() {
	wchar_t path[MAX_PATH] = {};
	DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
	std::wstring name = length > 0 && length < MAX_PATH ? std::filesystem::path(path).stem().wstring() : L"Browser Window";
	return name + L" Error";
}

[[noreturn]] void stop(const std::string& text, const std::string& shown) {
	// A program that shows its fatal stops itself (the launcher does) shows this one too: one box.
	if (!fatal_stop_observed() && !error_box_skipped()) MessageBoxW(nullptr, bw::win32::wide_text(shown).c_str(), box_title().c_str(), MB_OK | MB_ICONERROR);
	fatal_stop(text, shown);
}

} // namespace

void creation_failure(const std::string& text) { stop(text, text); }

void creation_failure(std::string_view step, HRESULT hr) {
	std::string prefix = std::string(step) + ": ";
	stop(prefix + hresult_error(hr).debug_string(), prefix + hresult_summary(hr));
}

} // namespace bw::edge2
