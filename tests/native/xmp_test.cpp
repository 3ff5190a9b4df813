#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "readers/xmp.h"

namespace {

struct PacketCase {
    const char *what;
    std::string packet;
    bool found;
    std::string value;
};

class XmpPacket : public testing::TestWithParam<PacketCase> {};

TEST_P(XmpPacket, GivesTheValueOfTheNamespacedProperty) {
    const PacketCase &c = GetParam();
    std::string value = "unchanged";
    ASSERT_EQ(FindXmpValue(c.packet, XmpNamespace, "CreateDate", &value), c.found) << c.what;
    if (c.found) {
        EXPECT_EQ(value, c.value) << c.what;
    }
}

const std::string Ns = "'http://ns.adobe.com/xap/1.0/'";

std::string Nested(int depth) {
    std::string open, close;
    for (int i = 0; i < depth; ++i)
        open += "<a>", close += "</a>";
    return open + "<p:CreateDate xmlns:p=" + Ns + ">v</p:CreateDate>" + close;
}

const PacketCase Cases[] = {
    {"default namespace on elements", "<r xmlns=" + Ns + "><CreateDate>v</CreateDate></r>", true,
     "v"},
    {"never on unprefixed attributes", "<r xmlns=" + Ns + " CreateDate='v'/>", false, ""},
    {"declared after its use in the same tag", "<d p:CreateDate='v' xmlns:p=" + Ns + "/>", true,
     "v"},
    {"a declaration ends with its element",
     "<r><a xmlns:p=" + Ns + "/><p:CreateDate>v</p:CreateDate></r>", false, ""},
    {"shadowed inside, back after",
     "<r xmlns:p=" + Ns +
         "><a xmlns:p='urn:other'><p:CreateDate>no</p:CreateDate></a><p:CreateDate>w</p:"
         "CreateDate></r>",
     true, "w"},
    {"entities and references",
     "<p:CreateDate xmlns:p=" + Ns +
         ">1&#43;2&#x2B;&lt;&gt;&amp;&quot;&apos;&#x20AC;&bogus;&#0;&</p:CreateDate>",
     true, "1+2+<>&\"'\xE2\x82\xAC&bogus;&#0;&"},
    {"in an attribute", "<d xmlns:p=" + Ns + " p:CreateDate=\"a&amp;b\"/>", true, "a&b"},
    {"comments, instructions, doctype and CDATA",
     "<?xpacket begin='' id='W5M0'?><!DOCTYPE r [<!ENTITY e '<p:CreateDate>no</p:CreateDate>'>]>"
     "<r xmlns:p=" +
         Ns +
         "><!-- <p:CreateDate>no</p:CreateDate> --><p:CreateDate>a<!--x--><![CDATA[<&amp;]]></"
         "p:CreateDate></r>",
     true, "a<&amp;"},
    {"an element with elements inside is no value",
     "<r xmlns:p=" + Ns +
         "><p:CreateDate><q>no</q></p:CreateDate><p:CreateDate>v</p:CreateDate></r>",
     true, "v"},
    {"empty element", "<p:CreateDate xmlns:p=" + Ns + "/>", true, ""},
    {"nested as deep as allowed", Nested(63), true, "v"},
    {"nested deeper", Nested(64), false, ""},
    {"unterminated value", "<d xmlns:p=" + Ns + " p:Other='x p:CreateDate='v'/>", false, ""},
    {"end tag of another element", "<r xmlns:p=" + Ns + "></x><p:CreateDate>v</p:CreateDate></r>",
     false, ""},
    {"another local name", "<p:CreateDates xmlns:p=" + Ns + ">v</p:CreateDates>", false, ""},
};

INSTANTIATE_TEST_SUITE_P(Xmp, XmpPacket, testing::ValuesIn(Cases));

TEST(Xmp, HostileTextTakesLinearTime) {
    // A run of ampersands that a search for the end of each reference would make quadratic.
    std::string packet =
        "<p:CreateDate xmlns:p=" + Ns + ">" + std::string(4 << 20, '&') + ";" + "</p:CreateDate>";
    auto start = std::chrono::steady_clock::now();
    std::string value;
    ASSERT_TRUE(FindXmpValue(packet, XmpNamespace, "CreateDate", &value));
    EXPECT_EQ(value.size(), (4u << 20) + 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

} // namespace
