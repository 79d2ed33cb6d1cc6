#include "engine/LeaveReason.h"

const char* LeaveReasonName(TLeaveReason reason) {
  switch (reason) {
    case TLeaveReason::None:
      return "none";
    case TLeaveReason::FormatNotHandled:
      return "format not handled";
    case TLeaveReason::Animated:
      return "animated";
    case TLeaveReason::TooSmall:
      return "smaller than the minimum";
    case TLeaveReason::ExcludedAttribute:
      return "excluded attribute";
    case TLeaveReason::NoProtect:
      return "NOPROTECT";
    case TLeaveReason::LinkWithEventHandler:
      return "link with an event handler";
    case TLeaveReason::SecondImageInLink:
      return "second image in a link";
    case TLeaveReason::LinksOff:
      return "images in links are off";
    case TLeaveReason::MissingFile:
      return "missing file";
    case TLeaveReason::RemoteAddress:
      return "remote or data address";
    case TLeaveReason::NoSiteRoot:
      return "root-relative address without a site root";
    case TLeaveReason::ImageSet:
      return "image set";
    case TLeaveReason::NotRegularFile:
      return "not a regular file";
    case TLeaveReason::PathTooLong:
      return "path too long";
    case TLeaveReason::InsideCode:
      return "inside a script or server code";
    case TLeaveReason::InsideAttribute:
      return "inside another tag's attribute";
    case TLeaveReason::InsideXhtmlComment:
      return "inside a comment of an XHTML page";
    case TLeaveReason::PagePolicy:
      return "the page's security policy forbids the markup";
  }
  return "unknown";
}
