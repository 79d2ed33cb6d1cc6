#pragma once

// Why a run leaves an IMG tag as the page has it. One list for the run and
// for the look without changes, so that both tell the same.
enum class TLeaveReason {
  None,                  // the tag is sliced or reused
  FormatNotHandled,      // no kind the options protect, or the file is no well-formed picture
  Animated,              // more than one frame
  TooSmall,              // smaller than the minimum size
  ExcludedAttribute,     // USEMAP, an event handler, or a size of 100%
  NoProtect,             // the tag says NOPROTECT
  LinkWithEventHandler,  // inside a link whose start tag has an event handler
  SecondImageInLink,     // a link whose first image was protected
  LinksOff,              // inside a link while images in links are not protected
  MissingFile,           // no SRC, or no file where it points
  RemoteAddress,         // http:, https:, data:, another scheme, or "//host/"
  NoSiteRoot,            // "/..." while no site root is set
  ImageSet,              // srcset, or inside <picture>
  NotRegularFile,        // a folder, a device, a pipe
  PathTooLong,           // longer than a backup record can restore
  InsideCode,            // in a script's or other raw text, or a server's code: no element
  InsideAttribute,       // in the quoted value of another tag's attribute: no element
  InsideXhtmlComment,    // in a comment of an XHTML page, where markup would end it
  PagePolicy,            // the page's security policy would refuse the markup's styles
};

// A short stable name ("format not handled") for lists and JSON.
const char* LeaveReasonName(TLeaveReason reason);
