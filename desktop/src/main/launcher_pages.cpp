#include "waiting_pages.hpp"

namespace tarnwick {

namespace {

constexpr std::string_view style = R"(<style>
body { font-family: sans-serif; margin: 0; height: 100vh; display: flex; align-items: center; justify-content: center;
       background: #f4f5f7; color: #223; }
main { text-align: center; max-width: 32em; }
button { font-size: 1em; padding: 0.5em 1.4em; margin-top: 1em; }
</style>)";

std::string document(std::string_view title, std::string_view body) {
	std::string html = "<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\"><title>";
	html += title;
	html += "</title>";
	html += style;
	html += "</head><body><main>";
	html += body;
	html += "</main></body></html>";
	return html;
}

} // namespace

std::string html_data_url(std::string_view html) {
	static constexpr char hex[] = "0123456789ABCDEF";
	std::string url = "data:text/html;charset=utf-8,";
	for (unsigned char c : html) {
		bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == '~' ||
		             c == ' ';
		if (plain) {
			url += static_cast<char>(c);
		} else {
			url += '%';
			url += hex[c >> 4];
			url += hex[c & 0xF];
		}
	}
	return url;
}

std::string starting_page() {
	return document("Tarnwick", "<h1>Tarnwick is starting</h1><p>The Tarnwick daemon does not answer yet. Its interface appears here as soon as it does.</p>");
}

std::string not_answering_page(std::string_view address, int seconds) {
	std::string body = "<h1>The Tarnwick daemon did not answer</h1><p>Nothing answered at ";
	body += address;
	body += " within " + std::to_string(seconds) + " seconds.</p>";
	body += "<button onclick=\"invoke_extern('retry')\">Try again</button>";
	return document("Tarnwick", body);
}

} // namespace tarnwick
