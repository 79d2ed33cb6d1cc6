#pragma once

#include <string>
#include <string_view>
#include <vector>

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

// True when `text` starts with a UTF-16 byte order mark.
bool StartsAsUtf16(std::string_view text);

// A text that starts with a UTF-16 byte order mark (a page saved as
// "Unicode" by many editors) turned into UTF-8 in place, its mark into
// UTF-8's, so that it is read as any UTF-8 page is; other text stays as it
// is. False when the UTF-16 would not come back byte for byte from the UTF-8
// (an unpaired surrogate or an odd last byte, each read as U+FFFD).
bool Utf16AsUtf8(std::string& text);

// The UTF-8 text made of `pieces` in UTF-16 of the given byte order.
std::string Utf8AsUtf16(const std::vector<std::string_view>& pieces, bool bigEndian);
