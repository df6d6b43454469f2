#include "javascript/js_value.hpp"

#include <gtest/gtest.h>

#include <clocale>
#include <sstream>
#include <string>

namespace bw {
namespace {

using Kind = JsValue::Kind;

} // namespace

// Failures show the debug form, which tells the kinds apart.
void PrintTo(const JsValue& value, std::ostream* out) { *out << value.to_debug_string(); }

namespace {

JsValue num(std::string_view text) { return JsValue::number(*BigFloat::parse(text)); }
JsValue str(std::string text) { return JsValue::string(std::move(text)); }
std::string shown(const std::string& text) { return str(text).to_string(); }

TEST(JsValueFromJsonTest, ReadsEveryKindOfJsonValue) {
	EXPECT_EQ(JsValue::from_json("null"), JsValue::null());
	EXPECT_EQ(JsValue::from_json("true"), JsValue::boolean(true));
	EXPECT_EQ(JsValue::from_json("[1,2]"), JsValue::array({num("1"), num("2")}));
	EXPECT_EQ(JsValue::from_json(R"({"a":"b"})"), JsValue::object({{"a", str("b")}}));
	EXPECT_EQ(JsValue::from_json("1.5"), num("1.5"));
	EXPECT_EQ(JsValue::from_json("-2e3"), num("-2000"));
	EXPECT_EQ(JsValue::from_json(R"( {"a":1, "a":[2], "b":"\u00e9\"\n"} )"),
	          JsValue::object({{"a", JsValue::array({num("2")})}, {"b", str("\xc3\xa9\"\n")}}));
	EXPECT_EQ(JsValue::from_json(R"([[],{},[[null]]])").to_string(), "[[],{},[[null]]]");
}

TEST(JsValueFromJsonTest, TextThatIsNotJsonIsKeptAsOther) {
	for (const char* text : {"", "function", "undefined", "[1,", "1 2", "{\"a\":1,}", "'a'", "[01]", "\"\\ud800\"", "\"\xff\""})
		EXPECT_EQ(JsValue::from_json(text), JsValue::other(text)) << text;
	std::string deep = std::string(JsValue::max_depth, '[') + std::string(JsValue::max_depth, ']');
	EXPECT_EQ(JsValue::from_json(deep).kind(), Kind::Array);
	EXPECT_EQ(JsValue::from_json(deep).to_string(), deep);
	std::string deeper = "[" + deep + "]";
	EXPECT_EQ(JsValue::from_json(deeper), JsValue::other(deeper));
}

TEST(JsValueFromJsonTest, NumbersKeepTheirDecimalValueBeyondDouble) {
	EXPECT_EQ(JsValue::from_json("0.1").to_string(), "0.1");
	EXPECT_EQ(JsValue::from_json("123456789012345678901234567890").to_string(), "1.2345678901234567890123456789e+29");
	EXPECT_EQ(JsValue::from_json("-18446744073709551616").to_string(), "-18446744073709551616");
	EXPECT_EQ(JsValue::from_json("1e-400").to_string(), "1e-400");
	// Past double's range the parser stops; these numbers are read from their own text instead.
	EXPECT_EQ(JsValue::from_json(R"([1e400,"1e400 \" 5",{"k":-2.5E+999}, 1e99999999999])").to_string(),
	          R"([1e+400,"1e400 \" 5",{"k":-2.5e+999},Infinity])");
	for (const char* text : {"[1e400,01]", "[1e400,-]", "[1e400 2]", "[1e400,1.]", "[1e400", "1e400,"})
		EXPECT_EQ(JsValue::from_json(text), JsValue::other(text)) << text;
}

TEST(JsValueFromJsonTest, NumbersIgnoreTheLocaleDecimalSeparator) {
	std::string previous = std::setlocale(LC_NUMERIC, nullptr);
	if ((!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "German_Germany.1252")) ||
	    std::localeconv()->decimal_point != std::string(",")) {
		std::setlocale(LC_NUMERIC, previous.c_str());
		GTEST_SKIP() << "no locale with a decimal comma";
	}
	JsValue value = JsValue::from_json("[1.5,-0.25e1]");
	std::setlocale(LC_NUMERIC, previous.c_str());
	EXPECT_EQ(value.to_string(), "[1.5,-2.5]");
}

TEST(JsValueDisplayTest, StringsAreEscapedForScripts) {
	EXPECT_EQ(shown("it's"), R"("it\'s")");
	EXPECT_EQ(shown("it's").size(), 7u);
	EXPECT_EQ(shown("\\"), R"("\x5c")");
	EXPECT_EQ(shown(std::string("\0\b\t\n\v\f\r\"", 8)), R"("\0\b\t\n\v\f\r\"")");
	EXPECT_EQ(shown("\x01\x1f\x7f"), R"("\x01\x1f\x7f")");
	EXPECT_EQ(shown(std::string("\0" "1\0", 3)), R"("\x001\0")");
	EXPECT_EQ(shown("\xc3\xa9"), R"("\xe9")");
	EXPECT_EQ(shown("\xc4\x80\xe2\x82\xac"), R"("\u{100}\u{20ac}")");
	EXPECT_EQ(shown("\xf0\x9f\x98\x80"), R"("\u{1f600}")");
	const std::string safe = " -_0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ!#$%&()*+,./:;<=>?@[]^`{|}~";
	EXPECT_EQ(shown(safe), '"' + safe + '"');
	EXPECT_EQ(shown("a" + safe + "\t"), "\"a" + safe + "\\t\"");
	// Ill-formed UTF-8: each stray byte reads as U+FFFD.
	EXPECT_EQ(shown("a\xff" "b\xe2\x82"), R"("a\u{fffd}b\u{fffd}\u{fffd}")");
	EXPECT_EQ(shown("\xed\xa0\x80"), R"("\u{fffd}\u{fffd}\u{fffd}")");
}

TEST(JsValueDisplayTest, ContainersAndScalarsFormScriptText) {
	EXPECT_EQ(JsValue::array({num("1"), str("x")}).to_string(), R"([1,"x"])");
	EXPECT_EQ(JsValue::array().to_string(), "[]");
	EXPECT_EQ(JsValue::object({{"a", JsValue::null()}}).to_string(), R"({"a":null})");
	std::string two = JsValue::object({{"a", JsValue::null()}, {"b", JsValue::boolean(false)}}).to_string();
	EXPECT_TRUE(two == R"({"a":null,"b":false})" || two == R"({"b":false,"a":null})") << two;
	// A key cannot close its quotes early and inject script.
	EXPECT_EQ(JsValue::object({{"a\"};alert(1);//\n", JsValue::null()}}).to_string(), R"({"a\"};alert(1);//\n":null})");
	EXPECT_EQ(JsValue::undefined().to_string(), "undefined");
	EXPECT_EQ(JsValue::other("window.x").to_string(), "window.x");
	EXPECT_EQ(JsValue::array({JsValue::object(), num("-0.5"), JsValue::boolean(true)}).to_string(), "[{},-0.5,true]");
	std::ostringstream out;
	out << JsValue::array({str("\n")});
	EXPECT_EQ(out.str(), R"(["\n"])");
}

TEST(JsValueDisplayTest, LargeFormsMatchTheirPartsAndAppend) {
	// Hundreds of kilobytes, with strings longer than the writer's blocks, shown twice in a row: the
	// whole must be exactly its parts, each small enough to be shown in one piece.
	JsArray items;
	std::string expected = "[";
	for (int i = 0; i < 6000; ++i) {
		expected += i ? "," : "";
		if (i % 1500 == 4) {
			std::string backslashes;
			for (int n = 0; n < 40'000; ++n) backslashes += "\\x5c";
			items.push_back(str(std::string(70'000 + i, 'x') + "\n" + std::string(40'000, '\\')));
			expected += '"' + std::string(70'000 + i, 'x') + "\\n" + backslashes + '"';
			continue;
		}
		std::string text = "item " + std::to_string(i) + (i % 7 == 0 ? " caf\xc3\xa9 \"q\"\t" : "");
		JsValue item = i % 3 == 0 ? JsValue::object({{"k" + std::to_string(i), str(text)}}) : i % 3 == 1 ? str(text) : num(std::to_string(i) + ".25");
		expected += item.to_string();
		items.push_back(std::move(item));
	}
	expected += "]";
	JsValue value = JsValue::array(std::move(items));
	ASSERT_GT(expected.size(), 500'000u);
	EXPECT_EQ(value.to_string(), expected);
	std::string appended = "run(";
	value.append_to(appended);
	EXPECT_EQ(appended, "run(" + expected);
	std::string long_text(200'000, '\'');
	EXPECT_EQ(str(long_text).to_string().size(), 400'002u);
}

TEST(JsValueDisplayTest, UnenclosedTextBorrowsStringsAndShowsTheRest) {
	JsValue quoted = str("a\"b");
	JsText text = quoted.to_string_unenclosed();
	EXPECT_EQ(text, "a\"b");
	EXPECT_TRUE(text.is_borrowed());
	EXPECT_EQ(text.view().data(), quoted.as_string()->data());
	JsText shown_true = JsValue::boolean(true).to_string_unenclosed();
	EXPECT_EQ(shown_true, "true");
	EXPECT_FALSE(shown_true.is_borrowed());
	EXPECT_EQ(std::move(shown_true).to_owned(), "true");
	EXPECT_EQ(JsValue::array({str("x")}).to_string_unenclosed(), R"(["x"])");
}

TEST(JsValueDisplayTest, DebugFormNamesTheKinds) {
	EXPECT_EQ(JsValue::array({num("1"), str("x\"")}).to_debug_string(), R"(Array([Number(1), String("x\"")]))");
	EXPECT_EQ(JsValue::object({{"a", JsValue::null()}}).to_debug_string(), R"(Object({"a": Null}))");
	EXPECT_EQ(JsValue::undefined().to_debug_string(), "Undefined");
	EXPECT_EQ(JsValue::boolean(false).to_debug_string(), "Boolean(false)");
	EXPECT_EQ(JsValue::other("f\xff\n").to_debug_string(), R"(Other("f\xff\n"))");
}

TEST(JsValueFromStringTest, ReadsScriptTextLiterally) {
	EXPECT_EQ(JsValue::from_string("42"), num("42"));
	EXPECT_EQ(JsValue::from_string("4.5e1"), num("45"));
	EXPECT_EQ(JsValue::from_string("4x2"), JsValue::other("unable to parse number: 4x2"));
	EXPECT_EQ(JsValue::from_string("1 "), JsValue::other("unable to parse number: 1 "));
	EXPECT_EQ(JsValue::from_string("-1"), JsValue::other("-1"));
	EXPECT_EQ(JsValue::from_string(""), JsValue::other(""));
	EXPECT_EQ(JsValue::from_string("undefined"), JsValue::undefined());
	EXPECT_EQ(JsValue::from_string("null"), JsValue::null());
	EXPECT_EQ(JsValue::from_string("false"), JsValue::boolean(false));
	EXPECT_EQ(JsValue::from_string(" true"), JsValue::other(" true"));
	EXPECT_EQ(JsValue::from_string(R"("a\n")"), str("a\\n"));
	EXPECT_EQ(JsValue::from_string(R"("")"), str(""));
	EXPECT_EQ(JsValue::from_string("\""), JsValue::other("\""));
	EXPECT_EQ(JsValue::from_string("["), JsValue::other("["));
	EXPECT_EQ(JsValue::from_string("[1,true]"), JsValue::array({num("1"), JsValue::boolean(true)}));
	EXPECT_EQ(JsValue::from_string("[1, 2]"), JsValue::array({num("1"), JsValue::other(" 2")}));
	EXPECT_EQ(JsValue::from_string("[]"), JsValue::array({JsValue::other("")}));
	EXPECT_EQ(JsValue::from_string("[[1,2]]"), JsValue::array({JsValue::other("[1"), JsValue::other("unable to parse number: 2]")}));
	EXPECT_EQ(JsValue::from_string(R"(["a,b"])"), JsValue::array({JsValue::other("\"a"), JsValue::other("b\"")}));
}

TEST(JsValueFromStringTest, ObjectsSplitAtCommasAndTheFirstColon) {
	EXPECT_EQ(JsValue::from_string("{}"), JsValue::object());
	EXPECT_EQ(JsValue::from_string(R"({"a":1,b,c:2:3,c:"x",:})"),
	          JsValue::object({{R"("a")", num("1")}, {"c", str("x")}, {"", JsValue::other("")}}));
	EXPECT_EQ(JsValue::from_string("{a:[null]}"), JsValue::object({{"a", JsValue::array({JsValue::null()})}}));
	EXPECT_EQ(JsValue::from_string("{a:2:3}"), JsValue::object({{"a", JsValue::other("unable to parse number: 2:3")}}));
	std::string deep = std::string(JsValue::max_depth, '[') + std::string(JsValue::max_depth, ']');
	EXPECT_EQ(JsValue::from_string(deep).to_string(), deep);
	JsValue deeper = JsValue::from_string("[" + deep + "]");
	const JsValue* innermost = &deeper;
	for (std::size_t i = 0; i < JsValue::max_depth; ++i) innermost = &innermost->as_array()->front();
	EXPECT_EQ(*innermost, JsValue::other("[]"));
}

TEST(JsValueTest, CopiesAreDeepAndIndependent) {
	JsValue original = JsValue::from_json(R"({"list":[1,{"s":"x"}],"n":1.5})");
	JsValue copy = original;
	EXPECT_EQ(copy, original);
	(*copy.as_object())["list"].as_array()->push_back(JsValue::null());
	(*(*copy.as_object())["list"].as_array())[1].as_object()->at("s") = str("changed");
	copy.as_object()->erase("n");
	EXPECT_EQ(original, JsValue::from_json(R"({"n":1.5,"list":[1,{"s":"x"}]})"));
	EXPECT_NE(copy, original);
	EXPECT_EQ(copy.as_object()->at("list").to_string(), R"([1,{"s":"changed"},null])");

	// At the deepest nesting read, copying, comparing, showing and dropping stay within the stack.
	std::string deep;
	for (std::size_t i = 0; i < JsValue::max_depth / 2; ++i) deep += R"({"k":[)";
	deep += "1";
	for (std::size_t i = 0; i < JsValue::max_depth / 2; ++i) deep += "]}";
	JsValue nested = JsValue::from_json(deep);
	ASSERT_EQ(nested.kind(), Kind::Object);
	JsValue nested_copy = nested;
	EXPECT_EQ(nested_copy, nested);
	EXPECT_EQ(nested_copy.to_string(), deep);
	EXPECT_FALSE(nested_copy.to_debug_string().empty());
}

} // namespace
} // namespace bw
