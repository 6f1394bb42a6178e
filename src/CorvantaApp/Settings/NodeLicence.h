#pragma once

#include <QString>

namespace corvanta {

// The licence notice of the node program the application ships (its COPYING), as that program
// distributes it, its lines joined into paragraphs for a view that wraps them.
QString nodeLicenceText();

// Everything the shipped node carries: its own licence, then each library built into it under
// its name with its notice, as the package's documents hold them.
QString nodeNoticesText();

// A notice's hard-wrapped lines joined into paragraphs; copyright lines and list items stay
// lines of their own.
QString reflowNotice(const QString& notice);

}  // namespace corvanta
