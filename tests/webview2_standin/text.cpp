#include "text.hpp"

#include <objbase.h>

#include <cstdio>
#include <cstring>

namespace standin {

std::string utf8(std::wstring_view text) {
	if (text.empty()) return {};
	int length = static_cast<int>(text.size());
	int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
	std::string out(static_cast<size_t>(bytes), '\0');
	WideCharToMultiByte(CP_UTF8, 0, text.data(), length, out.data(), bytes, nullptr, nullptr);
	return out;
}

std::wstring utf16(std::string_view text) {
	if (text.empty()) return {};
	int length = static_cast<int>(text.size());
	int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
	std::wstring out(static_cast<size_t>(units), L'\0');
	MultiByteToWideChar(CP_UTF8, 0, text.data(), length, out.data(), units);
	return out;
}

std::string logged(LPCWSTR text) { return text == nullptr ? "null" : logged(std::wstring_view(text)); }

std::string logged(std::wstring_view text) {
	std::string out;
	for (char c : utf8(text)) {
		switch (c) {
		case '\\': out += "\\\\"; break;
		case '\n': out += "\\n"; break;
		case '\r': out += "\\r"; break;
		case '\t': out += "\\t"; break;
		default:
			if (static_cast<unsigned char>(c) < 0x20) {
				char escaped[8];
				std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned>(c));
				out += escaped;
			} else {
				out += c;
			}
		}
	}
	return out;
}

std::string hex(HRESULT hr) {
	char text[16];
	std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(hr));
	return text;
}

LPWSTR co_task_copy(std::wstring_view text) {
	auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(wchar_t)));
	if (copy == nullptr) return nullptr;
	std::memcpy(copy, text.data(), text.size() * sizeof(wchar_t));
	copy[text.size()] = L'\0';
	return copy;
}

} // namespace standin
