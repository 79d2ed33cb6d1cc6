#include "engine/ImageAddress.h"

#include <gtest/gtest.h>

namespace {

using Kind = TImageAddress::Kind;

TEST(ImageAddress, ResolvesAsABrowserDoesAgainstAFileUrl) {
  struct Case {
    const char* src;
    const char* root;
    Kind where;
    const char* path;
    const char* srcDir;
  } cases[] = {
      {"img/a.gif", "", Kind::File, "/site/pages/img/a.gif", "img/"},
      {"../img/a.gif", "", Kind::File, "/site/img/a.gif", "../img/"},
      {"img\\sub\\a.gif", "", Kind::File, "/site/pages/img/sub/a.gif", "img\\sub\\"},
      {"my%20photo.jpg", "", Kind::File, "/site/pages/my photo.jpg", ""},
      {"img/caf%C3%A9.png", "", Kind::File, "/site/pages/img/caf\xC3\xA9.png", "img/"},
      {"img/a%2Fb.png", "", Kind::File, "/site/pages/img/a%2Fb.png", "img/"},
      {"100%.png", "", Kind::File, "/site/pages/100%.png", ""},
      {"logo.gif?v=2", "", Kind::File, "/site/pages/logo.gif", ""},
      {"img/logo.gif#top", "", Kind::File, "/site/pages/img/logo.gif", "img/"},
      {"a.gif?dir=/x/y", "", Kind::File, "/site/pages/a.gif", ""},
      {"  img/a.gif\n", "", Kind::File, "/site/pages/img/a.gif", "img/"},
      {"img/\n\ta&#10;.gif", "", Kind::File, "/site/pages/img/a.gif", "img/"},  // wrapped
      {"/assets/a.png", "", Kind::NoSiteRoot, "", "/assets/"},
      {"/assets/a.png", "/srv/www", Kind::File, "/srv/www/assets/a.png", "/assets/"},
      {"/assets/a.png", "/srv/www/", Kind::File, "/srv/www/assets/a.png", "/assets/"},
      {"/../../etc/passwd.png", "/srv/www", Kind::File, "/srv/www/etc/passwd.png", "/../../etc/"},
      {"http://example.com/a.gif", "/srv/www", Kind::Remote, "", "http://example.com/"},
      {"HTTPS://example.com/a.gif", "", Kind::Remote, "", "HTTPS://example.com/"},
      {"data:image/png;base64,iVBOR", "", Kind::Remote, "", "data:image/"},
      {"//cdn.example.com/a.gif", "/srv/www", Kind::Remote, "", "//cdn.example.com/"},
      {"\\\\server\\share\\a.gif", "", Kind::Remote, "", "\\\\server\\share\\"},
      {"file:///etc/a.gif", "", Kind::Remote, "", "file:///etc/"},
  };
  for (const auto& c : cases) {
    const TImageAddress a = ResolveImageAddress("/site/pages/", c.src, c.root);
    EXPECT_EQ(a.Where, c.where) << c.src;
    EXPECT_EQ(a.Path, c.path) << c.src;
    EXPECT_EQ(a.SrcDir, c.srcDir) << c.src;
    EXPECT_FALSE(a.BadEscape) << c.src;
  }
  EXPECT_TRUE(ResolveImageAddress("/site/", "a%00.gif", "").BadEscape);
}

TEST(ImageAddress, RelativeAddressesFollowThePagesFirstBaseHref) {
  struct Case {
    const char* page;
    const char* root;
    Kind where;
    const char* base;   // the folder relative values resolve in
    const char* image;  // where "img/a.gif" then is
  } cases[] = {
      {"<p>no base</p>", "", Kind::File, "/site/pages/", "/site/pages/img/a.gif"},
      {"<base href=\"sub/\">", "", Kind::File, "/site/pages/sub/", "/site/pages/sub/img/a.gif"},
      {"<BASE\nHREF='../other/x.html?q=1'>", "", Kind::File, "/site/other/",
       "/site/other/img/a.gif"},
      {"<base href=sub>", "", Kind::File, "/site/pages/", "/site/pages/img/a.gif"},
      {"<base href=..>", "", Kind::File, "/site/", "/site/img/a.gif"},
      {"<basefont href=x/><base target=_top><base href=\".\"/><base href=y/>", "", Kind::File,
       "/site/pages/", "/site/pages/img/a.gif"},
      {"<base href=\"#top\">", "", Kind::File, "/site/pages/", "/site/pages/img/a.gif"},
      {"<!-- <base href=\"old/\"> --><script>'<base href=x/>'</script><base href=sub/>", "",
       Kind::File, "/site/pages/sub/", "/site/pages/sub/img/a.gif"},
      {"<base href=\"/assets/\">", "", Kind::NoSiteRoot, "", ""},
      {"<base href=\"/assets/\">", "/srv/www", Kind::File, "/srv/www/assets/",
       "/srv/www/assets/img/a.gif"},
      {"<base href=\"https://cdn.example.com/\">", "/srv/www", Kind::Remote, "", ""},
  };
  for (const auto& c : cases) {
    const TImageAddress base = PageBaseAddress(c.page, "/site/pages/", c.root);
    EXPECT_EQ(base.Where, c.where) << c.page;
    EXPECT_EQ(base.Path, c.base) << c.page;
    const TImageAddress image = ResolveImageAddress(base, "img/a.gif", c.root);
    EXPECT_EQ(image.Where, c.where) << c.page;
    EXPECT_EQ(image.Path, c.image) << c.page;
    EXPECT_EQ(image.SrcDir, "img/") << c.page;
  }
  // Letters beyond ASCII name the file by their UTF-8 form, read in the
  // page's declared encoding, or without one as UTF-8 when valid and as
  // windows-1252 otherwise; the folder text stays as written.
  const struct {
    const char* page;
    const char* src;
    const char* path;
    const char* srcDir;
  } written[] = {
      {"", "f\xFCr/B\xE4ume.gif", "/site/pages/f\xC3\xBCr/B\xC3\xA4ume.gif", "f\xFCr/"},
      {"", "f\xC3\xBCr/B\xC3\xA4ume.gif", "/site/pages/f\xC3\xBCr/B\xC3\xA4ume.gif", "f\xC3\xBCr/"},
      {"<meta charset=\"ISO-8859-1\">", "\x80.gif", "/site/pages/\xE2\x82\xAC.gif", ""},
      {"<meta http-equiv=Content-Type content='text/html; Charset=windows-1251'>", "\xCF\xF0.gif",
       "/site/pages/\xD0\x9F\xD1\x80.gif", ""},
      // The second byte of this Shift_JIS letter is "\\"; it separates nothing.
      {"<meta charset=shift_jis>", "a\\\x95\\.gif", "/site/pages/a/\xE8\xA1\xA8.gif", "a\\"},
      {"<?xml version=\"1.0\"?><meta charset=windows-1252>", "\xC3\xA4.gif",
       "/site/pages/\xC3\xA4.gif", ""},
      {"\xEF\xBB\xBF<meta charset=windows-1252>", "\xC3\xA4.gif", "/site/pages/\xC3\xA4.gif", ""},
      // Character references are read before the query and fragment go.
      {"", "caf&eacute;/a&amp;b.gif?x=1&amp;y=2", "/site/pages/caf\xC3\xA9/a&b.gif",
       "caf&eacute;/"},
      {"", "a&#233;&#150;&#x1F600.gif#top", "/site/pages/a\xC3\xA9\xE2\x80\x93\xF0\x9F\x98\x80.gif",
       ""},
      {"", "x&unknown;&amp.&eacutex&copy=&#.gif", "/site/pages/x&unknown;&.&eacutex&copy=&", ""},
      {"", "d&#47;caf\xC3\xA9&#47;b.gif", "/site/pages/d/caf\xC3\xA9/b.gif", "d/caf%C3%A9/"},
  };
  for (const auto& w : written) {
    const TImageAddress image =
        ResolveImageAddress(PageBaseAddress(w.page, "/site/pages/", ""), w.src, "");
    EXPECT_EQ(image.Path, w.path) << w.page;
    EXPECT_EQ(image.SrcDir, w.srcDir) << w.page;
  }

  // Under a remote base a root-relative address is on that host too.
  const TImageAddress remote = PageBaseAddress("<base href=//cdn/>", "/site/", "/srv/www");
  EXPECT_EQ(ResolveImageAddress(remote, "/a.gif", "/srv/www").Where, Kind::Remote);
  EXPECT_EQ(ResolveImageAddress(remote, "data:,x", "/srv/www").Where, Kind::Remote);
}

}  // namespace
