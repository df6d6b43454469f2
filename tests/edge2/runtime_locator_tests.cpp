// Choosing among registered runtimes, on plain data.
#include "core/browser_window/edge2/runtime_locator.hpp"

#include <gtest/gtest.h>

#include <set>

namespace bw::edge2_test {
namespace {

using edge2::parse_runtime_version;
using edge2::RuntimeCandidate;
using edge2::RuntimeVersion;

TEST(RuntimeVersion, FourNumbersCompareNumericallyPartByPart) {
	EXPECT_EQ(parse_runtime_version(L"138.0.3351.48"), (RuntimeVersion{{138, 0, 3351, 48}}));
	EXPECT_LT(*parse_runtime_version(L"99.0.1150.55"), *parse_runtime_version(L"100.0.1.0"));
	EXPECT_LT(*parse_runtime_version(L"120.0.2210.9"), *parse_runtime_version(L"120.0.2210.10"));
	EXPECT_LT(*parse_runtime_version(L"89.0.764.99"), edge2::minimum_runtime_version);
	for (const wchar_t* text : {L"", L"138", L"138.0.3351", L"138.0.3351.48.1", L"138.0.3351.", L"138..3351.48", L"v138.0.3351.48",
	                            L"138.0.3351.48 ", L"-1.0.0.0", L"4294967296.0.0.0"})
		EXPECT_EQ(parse_runtime_version(text), std::nullopt) << std::wstring(text).size();
}

TEST(RuntimeChoice, NewestIntactOfTheFirstChannelThatHasOne) {
	std::set<std::wstring> present;
	auto exists = [&present](const std::wstring& path) { return present.count(path) > 0; };
	auto dll = [](const wchar_t* folder) { return edge2::runtime_dll_in(folder); };
	EXPECT_EQ(dll(L"C:\\R\\120.0.2210.91\\"), L"C:\\R\\120.0.2210.91\\EBWebView\\x64\\EmbeddedBrowserWebView.dll");

	std::vector<RuntimeCandidate> candidates{
	    {0, L"C:\\M\\120.0.2210.91", L"120.0.2210.91"},
	    {0, L"C:\\U\\125.0.2535.51", L"125.0.2535.51"},
	    {0, L"C:\\U\\88.0.705.81", L"88.0.705.81"},
	    {0, L"C:\\U\\0.0.0.0", L"0.0.0.0"},
	    {0, L"C:\\U\\junk", L"junk"},
	    {1, L"C:\\B\\130.0.1.1", L"130.0.1.1"},
	};
	for (const auto& candidate : candidates) present.insert(dll(candidate.version_folder.c_str()));

	auto chosen = edge2::choose_runtime(candidates, exists);
	ASSERT_TRUE(chosen);
	EXPECT_EQ(chosen->version, L"125.0.2535.51");
	EXPECT_EQ(chosen->dll, dll(L"C:\\U\\125.0.2535.51"));

	// Its files gone: the older stable one, still before the newer preview.
	present.erase(dll(L"C:\\U\\125.0.2535.51"));
	EXPECT_EQ(edge2::choose_runtime(candidates, exists)->version, L"120.0.2210.91");
	present.erase(dll(L"C:\\M\\120.0.2210.91"));
	EXPECT_EQ(edge2::choose_runtime(candidates, exists)->version, L"130.0.1.1");
	present.erase(dll(L"C:\\B\\130.0.1.1"));
	// Only a too old, an uninstalled and an unreadable registration are left.
	EXPECT_EQ(edge2::choose_runtime(candidates, exists), std::nullopt);
}

} // namespace
} // namespace bw::edge2_test
