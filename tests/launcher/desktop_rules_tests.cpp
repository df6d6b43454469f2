// The rules of the command line, of what the single-instance channel accepts, and of the settings
// file.
#include "desktop/command_line.hpp"
#include "desktop/settings.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace tarnwick {

using command_line::Command;
using command_line::Verb;

TEST(CommandLine, ParsesEachOptionAndRefusesWhatItDoesNotKnow) {
	EXPECT_EQ(command_line::parse({}).command, Command{});
	EXPECT_EQ(command_line::parse({"--toggle"}).command, (Command{Verb::Toggle, {}}));
	EXPECT_EQ(command_line::parse({"--open", "/a/b?x=1"}).command, (Command{Verb::Open, "/a/b?x=1"}));
	for (auto arguments : std::vector<std::vector<std::string>>{{"--bogus"}, {"--open"}, {"--show", "--quit"}, {"show"}}) {
		auto parsed = command_line::parse(arguments);
		EXPECT_FALSE(parsed.command) << arguments[0];
		EXPECT_FALSE(parsed.error.empty());
	}
}

TEST(CommandLine, OpensOnlyPathsOnTheDaemonsOrigin) {
	for (const char* good : {"/", "/a/b?x=1", "/a#frag", "/%2F%2Fhost"}) EXPECT_TRUE(command_line::allowed_open_path(good)) << good;
	for (const char* bad : {"", "a", "//host/x", "http://evil/", "javascript:alert(1)", "/a\\b", "/a b", "/a\nb", "/a\x7f"})
		EXPECT_FALSE(command_line::allowed_open_path(bad)) << bad;
	EXPECT_FALSE(command_line::allowed_open_path("/" + std::string(command_line::longest_request, 'a')));
}

// The receiver checks again what a later launch sends.
TEST(CommandLine, TheChannelCarriesEachVerbAndRefusesMalformedRequests) {
	for (Command command : {Command{}, Command{Verb::Minimized, {}}, Command{Verb::Show, {}}, Command{Verb::Toggle, {}}, Command{Verb::Quit, {}},
	                        Command{Verb::Open, "/a?b=c"}})
		EXPECT_EQ(command_line::command_of_request(command_line::request_of(command)), command) << command_line::request_of(command);
	for (const char* bad : {"raise", "raise \n", "open //evil\n", "open\n", "open /a b\n", "help\n", "version\n", "quit now\n", ""})
		EXPECT_FALSE(command_line::command_of_request(bad)) << bad;
	EXPECT_FALSE(command_line::command_of_request("open /" + std::string(command_line::longest_request, 'a') + "\n"));
}

TEST(Settings, KeepsUnknownKeysDropsBadLinesAndReplacesTheFileWhole) {
	std::vector<std::string> bad;
	Settings parsed = Settings::parse("future=1\nno equals sign\n=empty key\nkeep_running_when_closed=0\n# comment\n", &bad);
	EXPECT_EQ(bad, (std::vector<std::string>{"line 2", "line 3"}));
	EXPECT_EQ(parsed.format(), "future=1\nkeep_running_when_closed=0\n");

	std::filesystem::path file = std::filesystem::path(std::getenv("XDG_CONFIG_HOME")) / "tarnwick-test" / "settings";
	std::filesystem::create_directories(file.parent_path());
	std::ofstream(file, std::ios::binary) << "future=1\r\nkeep_running_when_closed=0\n";
	Settings settings = Settings::load(file);
	EXPECT_FALSE(settings.flag(Settings::keep_running_when_closed));
	EXPECT_TRUE(settings.set_flag(Settings::keep_running_when_closed, true));
	EXPECT_FALSE(settings.set("bad key", "x"));
	std::ifstream written(file, std::ios::binary);
	EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}), "future=1\nkeep_running_when_closed=1\n");
	EXPECT_FALSE(std::filesystem::exists(file.string() + ".new"));
	EXPECT_TRUE(Settings::load(file).flag(Settings::keep_running_when_closed));
}

} // namespace tarnwick
