#pragma once

#include <QStringList>
#include <string>

// Filter texts of the file dialogs: entries "name|masks" joined by "|", each
// mask list separated by ";" ("List Files(*.lst)|*.lst").

// The filter of the add-files dialog, built from Options.FileTypes: one
// entry per type ("HTML Files (*.htm)|*.htm"), then "All Known Types" with
// the masks of every type, then "Any File(*.*)|*.*". All Known Types is entry
// number Options.FileTypes.size() + 1, counted from 1.
std::string BuildFileFilter();

// The filter of the list-file dialogs.
inline constexpr char kListFileFilter[] = "List Files(*.lst)|*.lst";

// The entries of a filter text as the toolkit's file dialog takes them: the
// entry's name followed by its masks in parentheses, separated by blanks
// ("HTML Files (*.htm) (*.htm)"). A dialog with the option to hide name
// filter details shows only the name. A last name without masks gets none.
QStringList NameFilters(const std::string& filter);
