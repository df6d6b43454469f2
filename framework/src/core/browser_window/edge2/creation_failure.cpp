#include "core/browser_window/edge2/creation_failure.hpp"

#include "core/browser_window/edge2/engine_text.hpp"
#include "core/fatal.hpp"

namespace bw::edge2 {

namespace {

bool error_box_skipped() {
	wchar_t value[4] = {};
	DWORD length = GetEnvironmentVariableW(L"BW_NO_ERROR_BOX", value, 4);
	return length == 1 && value[0] == L'1';
}

std::wstring box_text(const std::string& text) {
	int length = static_cast<int>(text.size());
	int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
	std::wstring wide(static_cast<std::size_t>(units), L'\0');
	if (units > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), length, wide.data(), units);
	return wide;
}

} // namespace

void creation_failure(const std::string& text) {
	if (!error_box_skipped()) MessageBoxW(nullptr, box_text(text).c_str(), L"Browser Window Error", MB_OK | MB_ICONERROR);
	fatal_stop(text);
}

void creation_failure(std::string_view step, HRESULT hr) {
	creation_failure(std::string(step) + ": " + hresult_error(hr).debug_string());
}

} // namespace bw::edge2
