#include "page_notice.hpp"

#include "javascript/escape.hpp"

namespace tarnwick {

std::string notice_script(std::string_view text) {
	// The box lives outside the page's own elements' flow, styled inline so the page's style
	// sheets do not reach it, and only ever touches the nodes it made. It stands out from the page
	// in the desktop's colour scheme: dark on a light desktop, light on a dark one.
	std::string script = "(function (text) {\n"
	                     "  var box = document.getElementById('tarnwick-notices');\n"
	                     "  if (!box) {\n"
	                     "    box = document.createElement('div');\n"
	                     "    box.id = 'tarnwick-notices';\n"
	                     "    box.setAttribute('style', 'position:fixed;right:16px;bottom:16px;z-index:2147483647;display:flex;"
	                     "flex-direction:column;gap:8px;max-width:28em;pointer-events:none');\n"
	                     "    (document.body || document.documentElement).appendChild(box);\n"
	                     "  }\n"
	                     "  var notice = document.createElement('div');\n"
	                     "  notice.setAttribute('role', 'status');\n"
	                     "  var dark = window.matchMedia && matchMedia('(prefers-color-scheme: dark)').matches;\n"
	                     "  notice.setAttribute('style', (dark ? 'background:#e6e8ee;color:#1d1f29;' : 'background:#223;color:#fff;') +\n"
	                     "    'font:14px/1.4 sans-serif;padding:10px 14px;"
	                     "border-radius:6px;box-shadow:0 2px 8px rgba(0,0,0,.3);word-break:break-word');\n"
	                     "  notice.textContent = text;\n"
	                     "  box.appendChild(notice);\n"
	                     "  setTimeout(function () {\n"
	                     "    notice.remove();\n"
	                     "    if (!box.firstChild) box.remove();\n"
	                     "  }, " +
	                     std::to_string(notice_seconds * 1000) + ");\n})(";
	bw::append_js_string_literal(script, text);
	script += ");";
	return script;
}

} // namespace tarnwick
