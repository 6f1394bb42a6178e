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
// "n bloc trouvé" for 0 and 1, "n blocs trouvés" above.
QString blockCountText(const MinerEntry& entry);

QVariantMap content(const MinerEntry& entry, Language language);

}  // namespace corvanta::widgets::earnings
