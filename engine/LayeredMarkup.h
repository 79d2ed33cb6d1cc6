#pragma once

#include <string>
#include <string_view>

#include "engine/TableMarkup.h"

// The layered picture: the IMG tag stays, with every attribute it had, so
// every rule and script that found the picture still finds it. Its SRC
// becomes a transparent placeholder of the picture's own size, and the
// pieces are painted over its content box as background layers, placed and
// sized in percentages of the box, so they follow whatever size the page
// gives the image. The page's own background colour of the IMG stays
// behind the pieces. Well-formed XML as well as HTML. Without the link tag
// and its end, which BuildTableMarkup adds.
std::string BuildLayeredMarkup(const TTableSpec& spec, std::string_view pieceNames);
