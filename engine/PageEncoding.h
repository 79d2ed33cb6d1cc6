#pragma once

#include <string>
#include <string_view>

// The character encoding a page declares, as a browser reads the
// declaration, as a lower-case label: "utf-8"; "windows-1252", which browsers
// read for the ISO-8859-1 and ASCII labels too; or the label as declared
// ("shift_jis"). In order: a byte order mark, the encoding of an XML
// declaration at the very start (an XML declaration without one means
// UTF-8), a META charset or Content-Type in the page's first 64 KB. Empty when
// the page declares nothing: browsers then take UTF-8 for text that is valid
// UTF-8 and windows-1252 otherwise.
std::string DeclaredPageEncoding(std::string_view page);

// The encoding `text` of a page that declares `declared` is read in: the
// declared one; without one, "utf-8" for valid UTF-8, else "windows-1252".
std::string EncodingOfText(std::string_view text, const std::string& declared);

// `text` with its character references ("&amp;", "&eacute;", "&#233;",
// "&#xE9;") replaced by the characters they stand for, in UTF-8, as a
// browser reads an attribute's value. Named references are those of the
// Latin-1 letters and signs and of common punctuation; the older ones (Latin-1,
// amp, lt, gt, quot) also without their ";" where no letter, digit or "="
// follows. Any other "&" stays as it is.
std::string WithCharacterReferences(std::string_view text);

// `text`, written in `encoding` (from EncodingOfText), in UTF-8. Plain ASCII
// comes back as it is; so does text that cannot be converted.
std::string TextInUtf8(std::string_view text, const std::string& encoding);
