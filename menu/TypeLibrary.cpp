// The library's type library resource (resource type TYPELIB, identifier 1):
// a library named "Menu" with no type descriptions. Nothing reads it and
// registration leaves it alone; it travels in a section of its own so that
// tools that list resources find it.

namespace {

__attribute__((section(".vlm_typelib"), used)) const char kTypeLibrary[] =
    "TYPELIB\0"
    "1\0"
    "Menu\0"
    "Menu Library\0"
    "{C8AD3B40-FACF-11D8-9D42-D5CE161DB644}\0"
    "1.0\0"
    "0x0409";

}  // namespace
