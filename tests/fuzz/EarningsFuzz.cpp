// A hostile node's answer to the earnings scan, followed to where the application shows it: the
// decoder refuses it or yields figures whose total fits, and that total is what the dashboard and
// the tray show and what the widgets read back from the snapshot the application writes.

#include <algorithm>
#include <chrono>
#include <exception>

#include "AppFuzzSupport.h"
#include "Dashboard/DashboardRules.h"
#include "Localization/Formatting.h"
#include "MenuBar/TrayMenuModel.h"
#include "SystemServices/EarningsScan.h"
#include "corvanta/shared/MinerSnapshot.h"

using namespace corvanta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::useScratchConfigHome();
    EarningsSnapshot earnings;
    std::size_t outputs = 0;
    try {
        const json::Value reply = json::parse(fuzz::textOf(data, size));
        earnings = earningsSnapshot(reply, "bcrt1qfuzz");
        outputs = reply.at("unspents").size();
    } catch (const json::DecodeError&) {
        return 0;
    } catch (const EarningsScanError&) {
        return 0;
    }
    fuzz::expect(
        earnings.matureSats >= 0 && earnings.immatureSats >= 0 && earnings.scannedAtHeight >= 0,
        "a negative amount or height accepted");
    fuzz::expect(std::size_t(earnings.matureOutputCount + earnings.immatureOutputCount) == outputs,
                 "an output counted other than once");
    std::int64_t sum = 0;
    fuzz::expect(!__builtin_add_overflow(earnings.matureSats, earnings.immatureSats, &sum),
                 "a decoded snapshot whose total does not fit");
    const std::int64_t total = earningsTotalSats(earnings.matureSats, earnings.immatureSats);
    fuzz::expect(total == sum, "the earnings total is not the sum");

    // The dashboard and the tray.
    fuzz::expect(DashboardRules::gainsSats(
                     DashboardRules::EarningsFigures{earnings.matureSats, earnings.immatureSats},
                     true, 0) == total,
                 "the gains card shows another total");
    fuzz::expect(fuzz::satsShown(Formatting::bitcoin(total)) == total,
                 "the amount's text stands for another amount");
    TrayInputs tray;
    tray.earningsSats = total;
    tray.scanCoversConfiguredAddress = true;
    const TrayMenu menu = trayMenu(tray);
    fuzz::expect(std::any_of(menu.rows.begin(), menu.rows.end(),
                             [&](const TrayRow& row) {
                                 return row.kind == TrayRow::Kind::value &&
                                        fuzz::satsShown(row.value) == total;
                             }),
                 "the tray does not show the total");

    // The widgets read back what the application writes.
    MinerSnapshot snapshot;
    snapshot.totalSats = total;
    snapshot.isRunning = true;
    snapshot.blocksFound = earnings.matureOutputCount + earnings.immatureOutputCount;
    snapshot.capturedAt = ReferenceDate::from(
        std::chrono::system_clock::time_point(std::chrono::seconds(1796710500)));
    const auto written = snapshot.encodeJSON();
    fuzz::expect(written.has_value(), "the application cannot write the snapshot");
    fuzz::expect(MinerSnapshot::decodeJSON(*written) == snapshot,
                 "the widgets read another snapshot than the one written");
    return 0;
}
