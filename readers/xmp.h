#pragma once
// One property of an XMP packet, found by its namespace and not by the prefix the writer chose:
// older editors write xap:CreateDate, and a packet may bind xmp: to a namespace of its own. A
// small XML scanner, linear in the packet and with bounded nesting. Pure: it reads only the text.
#include <string>

constexpr char XmpNamespace[] = "http://ns.adobe.com/xap/1.0/";
constexpr char ExifNamespace[] = "http://ns.adobe.com/exif/1.0/";
constexpr char PhotoshopNamespace[] = "http://ns.adobe.com/photoshop/1.0/";

// The first value of the property, written as an attribute (<rdf:Description xmlns:p="URI"
// p:CreateDate="...">) or as an element holding text only (<p:CreateDate>...</p:CreateDate>),
// with its entities and character references decoded. False when the packet has none before it
// ends or stops being XML that this scanner can follow (nested too deep, too many declarations).
bool FindXmpValue(const std::string &packet, const char *namespaceUri, const char *localName,
                  std::string *value);
