#include "launcher_pages.hpp"

#include "translations.hpp"

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
	std::string html = "<!DOCTYPE html><html lang=\"" + translations::language() + "\"><head><meta charset=\"utf-8\"><title>Tarnwick</title>";
	html += style;
	html += "</head><body><main>";
	html += body;
	html += "</main></body></html>";
	return html;
}

// The text in the user's language, made safe for HTML, with the values (HTML already) put in.
std::string html_text(std::string_view english, std::initializer_list<std::string_view> values = {}) {
	return fill(escaped(tr(english)), values);
}

// "Try again" has the focus, so Enter presses it.
std::string buttons() {
	return "<p><button autofocus onclick=\"invoke_extern('retry')\">" + html_text("Try again") + "</button>"
	       "<button onclick=\"invoke_extern('quit')\">" + html_text("Quit") + "</button></p>";
}

std::string log_note(std::string_view log_path) {
	if (log_path.empty()) return {};
	return "<p>" + html_text("What the launcher did is written to %1.", {"<code>" + escaped(log_path) + "</code>"}) + "</p>";
}

std::string what_happened(std::string_view reason) {
	return reason.empty() ? std::string() : "<p>" + html_text("What happened: %1.", {escaped(reason)}) + "</p>";
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
	return document("<h1>" + html_text("Tarnwick is starting") + "</h1><p>" +
	                html_text("The Tarnwick daemon does not answer yet. Its interface appears here as soon as it does.") + "</p>");
}

std::string restarting_page(std::string_view reason) {
	return document("<h1>" + html_text("Tarnwick stopped \u2014 restarting\u2026") + "</h1><p>" +
	                html_text("The Tarnwick daemon ended or stopped answering. It is being started again; its interface comes back here when it answers.") +
	                "</p>" + what_happened(reason));
}

std::string service_lost_page(std::string_view reason) {
	return document("<h1>" + html_text("Tarnwick stopped \u2014 waiting\u2026") + "</h1><p>" +
	                html_text("The Tarnwick daemon runs as a system service, which this program cannot start. Its interface comes back here when "
	                          "the service answers again.") +
	                "</p>" + what_happened(reason));
}

std::string given_up_page(std::string_view reason, std::string_view log_path) {
	return document("<h1>" + html_text("Tarnwick could not be restarted") + "</h1><p>" + html_text("The last attempt failed: %1.", {escaped(reason)}) +
	                "</p>" + log_note(log_path) + buttons());
}

std::string page_ended_page(std::string_view reason) {
	std::string why(reason.empty() ? tr("The engine gave no reason") : std::string(reason));
	if (why.back() != '.') why += '.';
	return document("<h1>" + html_text("The page stopped unexpectedly") + "</h1><p>" + escaped(why) + "</p>" +
	                "<p><button autofocus onclick=\"invoke_extern('reload')\">" + html_text("Reload") + "</button></p>");
}

std::string port_taken_page(uint16_t port, std::string_view program, std::string_view log_path, std::string_view other_user) {
	std::string number = std::to_string(port);
	std::string says;
	if (!other_user.empty())
		says = html_text("A program of %1 answers on port %2, where the Tarnwick daemon serves its interface. End it, then try again.",
		                 {escaped(other_user), number});
	else if (program.empty())
		says = html_text("Another program answers on port %1, where the Tarnwick daemon serves its interface. End it, then try again.", {number});
	else
		says = html_text("The program %1 answers on port %2, where the Tarnwick daemon serves its interface. End it, then try again.",
		                 {"<code>" + escaped(program) + "</code>", number});
	return document("<h1>" + html_text("Port %1 is used by another program", {number}) + "</h1><p>" + says + "</p>" + log_note(log_path) + buttons());
}

} // namespace tarnwick
