#pragma once

#include <QString>

namespace corvanta {

// The licence notice of the node program the application ships, as that program distributes it.
QString nodeLicenceText();

}  // namespace corvanta
