#include "launcher_pages.hpp"

namespace tarnwick {

namespace {

// Follows the desktop's colour scheme (the engine's prefers-color-scheme does); text has a contrast
// of at least 4.5:1 on its background in both, and the focused button a ring the eye finds.
constexpr std::string_view style = R"(<style>
:root { color-scheme: light dark; }
body { font-family: sans-serif; margin: 0; height: 100vh; display: flex; align-items: center; justify-content: center;
       background: #f4f5f7; color: #1d1f29; }
main { text-align: center; max-width: 36em; }
button { font: inherit; padding: 0.5em 1.4em; margin: 1em 0.4em 0; border: 1px solid #5b6170; border-radius: 4px;
         background: #ffffff; color: #1d1f29; }
button:focus-visible { outline: 3px solid #1a5fd6; outline-offset: 2px; }
code { word-break: break-all; }
@media (prefers-color-scheme: dark) {
  body { background: #1e2026; color: #e6e8ee; }
  button { background: #2d3039; color: #e6e8ee; border-color: #9aa1b2; }
  button:focus-visible { outline-color: #8ab4ff; }
}
</style>)";

std::string escaped(std::string_view text) {
	std::string out;
	for (char c : text) {
		switch (c) {
		case '&': out += "&amp;"; break;
		case '<': out += "&lt;"; break;
		case '>': out += "&gt;"; break;
		case '"': out += "&quot;"; break;
		default: out += c;
		}
	}
	return out;
}

std::string document(std::string_view body) {
	std::string html = "<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\"><title>Tarnwick</title>";
	html += style;
	html += "</head><body><main>";
	html += body;
	html += "</main></body></html>";
	return html;
}

// "Try again" has the focus, so Enter presses it.
std::string buttons() {
	return "<p><button autofocus onclick=\"invoke_extern('retry')\">Try again</button>"
	       "<button onclick=\"invoke_extern('quit')\">Quit</button></p>";
}

std::string log_note(std::string_view log_path) {
	if (log_path.empty()) return {};
	return "<p>What the launcher did is written to <code>" + escaped(log_path) + "</code>.</p>";
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
	return document("<h1>Tarnwick is starting</h1><p>The Tarnwick daemon does not answer yet. Its interface appears here as soon as it does.</p>");
}

std::string restarting_page(std::string_view reason) {
	std::string body = "<h1>Tarnwick stopped \u2014 restarting\u2026</h1><p>The Tarnwick daemon ended or stopped answering. It is being started "
	                   "again; its interface comes back here when it answers.</p>";
	if (!reason.empty()) body += "<p>What happened: " + escaped(reason) + ".</p>";
	return document(body);
}

std::string service_lost_page(std::string_view reason) {
	std::string body = "<h1>Tarnwick stopped \u2014 waiting\u2026</h1><p>The Tarnwick daemon runs as a system service, which this program cannot "
	                   "start. Its interface comes back here when the service answers again.</p>";
	if (!reason.empty()) body += "<p>What happened: " + escaped(reason) + ".</p>";
	return document(body);
}

std::string given_up_page(std::string_view reason, std::string_view log_path) {
	std::string body = "<h1>Tarnwick could not be restarted</h1><p>The last attempt failed: " + escaped(reason) + ".</p>";
	body += log_note(log_path);
	body += buttons();
	return document(body);
}

std::string page_ended_page(std::string_view reason) {
	std::string why(reason.empty() ? "The engine gave no reason" : reason);
	if (why.back() != '.') why += '.';
	std::string body = "<h1>The page stopped unexpectedly</h1><p>" + escaped(why) + "</p>";
	body += "<p><button autofocus onclick=\"invoke_extern('reload')\">Reload</button></p>";
	return document(body);
}

std::string port_taken_page(uint16_t port, std::string_view program, std::string_view log_path, std::string_view other_user) {
	std::string body = "<h1>Port " + std::to_string(port) + " is used by another program</h1><p>";
	if (!other_user.empty())
		body += "A program of " + escaped(other_user);
	else
		body += program.empty() ? std::string("Another program") : "The program <code>" + escaped(program) + "</code>";
	body += " answers on port " + std::to_string(port) + ", where the Tarnwick daemon serves its interface. End it, then try again.</p>";
	body += log_note(log_path);
	body += buttons();
	return document(body);
}

} // namespace tarnwick
