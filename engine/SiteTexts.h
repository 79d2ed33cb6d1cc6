#pragma once

#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// The texts of a site that may name its pictures, for a run that is about
// to delete the sources it cut: a page the run did not read (another page
// of the site, a page in another folder), a style sheet, a script, a feed
// or a data file can show a picture as well as the run's own pages can.

// The deepest folder (ending with "/") that holds every one of `paths`
// (files, or folders ending with "/"), read without "." and ".." steps;
// empty when they share none.
std::string CommonFolder(const std::vector<std::string>& paths);

// The top of the site that `folder` (ending with "/") lies in, when no site
// root says so: `folder`, or the highest folder above it where each step up
// is a folder whose own pages name the one below, as a home page links to
// its sections ("gallery/"). A run over one section then still reads the
// pages that show its pictures from elsewhere in the site.
std::string SiteTopOf(const std::string& folder);

// Calls `note` with the text of every file under `folder` (its subfolders
// too) whose type is a page type of the options or one of the text types
// above, except the files whose PageKey `skip` holds. Returns false, having stopped,
// when the folder holds more entries or text than a run can read in
// passing: what the rest of it names is then unknown.
bool ReadSiteTexts(const std::string& folder, const std::set<std::string>& skip,
                   const std::function<void(std::string_view text)>& note);
