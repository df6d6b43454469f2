// The launcher's own pages, shown while the daemon's web interface does not answer yet.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

// A data: URL of an HTML document, for navigating to a page of our own.
std::string html_data_url(std::string_view html);

// Tarnwick is starting: shown while the launcher keeps trying the address.
std::string starting_page();
// The daemon did not answer in time; its button asks the launcher (invoke_extern("retry")) to try again.
std::string not_answering_page(std::string_view address, int seconds);

} // namespace tarnwick
