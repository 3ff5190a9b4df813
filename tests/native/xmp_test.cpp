#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "readers/xmp.h"

namespace {

const std::string Ns = "'http://ns.adobe.com/xap/1.0/'";

std::string Nested(int depth) {
    std::string open, close;
    for (int i = 0; i < depth; ++i)
        open += "<a>", close += "</a>";
    return open + "<p:CreateDate xmlns:p=" + Ns + ">v</p:CreateDate>" + close;
}

TEST(Xmp, FindsThePropertyByItsNamespace) {
    const struct {
        std::string packet;
        const char *value; // none found when null
    } cases[] = {
        {"<r xmlns=" + Ns + "><CreateDate>v</CreateDate></r>", "v"},
        {"<r xmlns=" + Ns + " CreateDate='v'/>", nullptr}, // the default is for elements only
        {"<d p:CreateDate='v' xmlns:p=" + Ns + "/>", "v"},
        {"<r><a xmlns:p=" + Ns + "/><p:CreateDate>v</p:CreateDate></r>", nullptr},
        {"<r xmlns:p=" + Ns + "><a xmlns:p='urn:b'><p:CreateDate>no</p:CreateDate></a>" +
             "<p:CreateDate>w</p:CreateDate></r>",
         "w"},
        {"<p:CreateDate xmlns:p=" + Ns +
             ">1&#43;2&#x2B;&lt;&gt;&amp;&quot;&apos;&#x20AC;&bogus;&#0;&</p:CreateDate>",
         "1+2+<>&\"'\xE2\x82\xAC&bogus;&#0;&"},
        {"<?xpacket begin=''?><!DOCTYPE r [<!ENTITY e '<p:CreateDate>no</p:CreateDate>'>]><r "
         "xmlns:p=" +
             Ns + "><!-- <p:CreateDate>no</p:CreateDate> -->" +
             "<p:CreateDate>a<!--x--><![CDATA[<&amp;]]></p:CreateDate></r>",
         "a<&amp;"},
        {"<r xmlns:p=" + Ns + "><p:CreateDate><q>no</q></p:CreateDate><p:CreateDate>v</" +
             "p:CreateDate></r>",
         "v"}, // an element with elements inside is no value
        {Nested(63), "v"},
        {Nested(64), nullptr},
        {"<d xmlns:p=" + Ns + " p:Other='x p:CreateDate='v'/>", nullptr},
        {"<r xmlns:p=" + Ns + "></x><p:CreateDate>v</p:CreateDate></r>", nullptr},
    };
    for (const auto &c : cases) {
        std::string value;
        bool found = FindXmpValue(c.packet, XmpNamespace, "CreateDate", &value);
        EXPECT_EQ(found, c.value != nullptr) << c.packet;
        if (found && c.value) {
            EXPECT_EQ(value, c.value) << c.packet;
        }
    }
}

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
