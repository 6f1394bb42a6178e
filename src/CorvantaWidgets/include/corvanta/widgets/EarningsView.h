#pragma once

#include <QString>
#include <QVariantMap>

#include "corvanta/widgets/MinerEntry.h"
#include "corvanta/widgets/WidgetStrings.h"

// The earnings widget ("corvanta.widget.earnings"): what mining has brought in and the blocks
// found. No freshness test: the last snapshot stays shown however old it is.
namespace corvanta::widgets::earnings {

inline constexpr char kind[] = "corvanta.widget.earnings";

// "0.00 BTC" without a snapshot or for 0 satoshis, else "%.8f BTC".
QString amountText(const MinerEntry& entry);
// "n bloc trouvé" / "n blocs trouvés" in `language`, with that language's plural: in French for
// above 1, in the others for all but 1.
QString blockCountText(const MinerEntry& entry, Language language);

QVariantMap content(const MinerEntry& entry, Language language);

}  // namespace corvanta::widgets::earnings
