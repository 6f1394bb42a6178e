// The session model's persisted settings: loading, storing, fallbacks and their side effects.
#include <gtest/gtest.h>

#include <QSettings>
#include <QSignalSpy>

#include "FakeServices.h"
#include "SessionHarness.h"
#include "UnprivilegedUser.h"

namespace corvanta::testing {
namespace {

namespace fs = std::filesystem;

QStringList storedKeys(const SessionHarness& harness) {
    QSettings file(harness.preferencesFile(), QSettings::IniFormat);
    QStringList keys = file.allKeys();
    keys.sort();
    return keys;
}

TEST(SessionSettings, FreshProfileStartsOnTheDefaultsAndWritesOnlyTheMainnetPayoutKey) {
    SessionHarness harness;
    const auto model = harness.make();
    settle(100);  // the model's own tasks have run a few times

    EXPECT_EQ(model->selectedNetwork(), BitcoinNetwork::mainnet);
    EXPECT_EQ(model->powerMode(), PowerMode::balanced);
    EXPECT_EQ(model->advancedWorkerCount(), std::nullopt);
    EXPECT_FALSE(model->allowMiningOnBattery());
    EXPECT_FALSE(model->preventIdleSleepEnabled());
    EXPECT_TRUE(model->usageStatisticsEnabled());
    EXPECT_FALSE(model->scheduleEnabled());
    EXPECT_EQ(model->schedule(), MiningSchedule(ScheduledMode::balanced));
    EXPECT_EQ(model->scheduleOverrideUntil(), std::nullopt);
    EXPECT_EQ(model->lifetimeHashes(), 0u);
    EXPECT_EQ(model->storageTarget(), StorageTarget::gib15);
    EXPECT_EQ(model->payoutAddressInput(), QString());
    EXPECT_EQ(model->runStateKind(), MiningSessionModel::RunStateKind::idle);
    EXPECT_EQ(model->currentScheduleSlot(), 72);  // noon in the harness's zone

    EXPECT_EQ(storedKeys(harness), QStringList{"rigwell.payoutAddress.mainnet"});
    EXPECT_EQ(harness.preferences().string("rigwell.payoutAddress.mainnet"), QString());
}

TEST(SessionSettings, EverySettingComesBackAfterARelaunch) {
    SessionHarness harness;
    {
        const auto model = harness.make();
        model->setSelectedNetwork(BitcoinNetwork::signet);
        model->setPayoutAddressInput(" tb1 typed as is \n");
        model->setPowerMode(PowerMode::max);
        model->setAdvancedWorkerCount(3);
        model->setAllowMiningOnBattery(true);
        model->setPreventIdleSleepEnabled(true);
        model->setUsageStatisticsEnabled(false);
        model->setStorageTarget(StorageTarget::gib30);
        model->setScheduleMode(ScheduledMode::smart, 10, 20);
        model->setScheduleEnabled(true);
        model->selectPowerModeManually(PowerMode::eco);  // suspends until midnight
        model->accumulateLifetimeHashes(12'345'678'901'234'567'890u);
    }
    const auto again = harness.make();
    EXPECT_EQ(again->selectedNetwork(), BitcoinNetwork::signet);
    EXPECT_EQ(again->payoutAddressInput(), " tb1 typed as is \n");
    EXPECT_EQ(again->powerMode(), PowerMode::eco);
    EXPECT_EQ(again->advancedWorkerCount(), 3);
    EXPECT_TRUE(again->allowMiningOnBattery());
    EXPECT_TRUE(again->preventIdleSleepEnabled());
    EXPECT_FALSE(again->usageStatisticsEnabled());
    EXPECT_EQ(again->storageTarget(), StorageTarget::gib30);
    EXPECT_TRUE(again->scheduleEnabled());
    EXPECT_EQ(again->schedule()[9], ScheduledMode::balanced);
    EXPECT_EQ(again->schedule()[10], ScheduledMode::smart);
    EXPECT_EQ(again->schedule()[20], ScheduledMode::smart);
    EXPECT_EQ(again->schedule()[21], ScheduledMode::balanced);
    EXPECT_EQ(again->scheduleOverrideUntil(),
              harness.environment.clock.nextLocalMidnight(harness.wall()));
    EXPECT_EQ(again->lifetimeHashes(), 12'345'678'901'234'567'890u);
    EXPECT_EQ(again->lifetimeHashesText(), "12345678901234567890");
}

TEST(SessionSettings, MalformedStoredValuesFallBackToTheirDefaults) {
    using Check = std::function<bool(MiningSessionModel&)>;
    std::vector<ScheduledMode> hundredEcoThenMax(100, ScheduledMode::eco);
    hundredEcoThenMax.resize(144, ScheduledMode::max);
    QStringList hundredEco;
    for (int i = 0; i < 100; ++i) hundredEco << "\"eco\"";
    const struct {
        QString key;
        QString stored;
        Check check;
    } rows[] = {
        {"rigwell.selectedNetwork", "testnet",
         [](auto& m) { return m.selectedNetwork() == BitcoinNetwork::mainnet; }},
        {"rigwell.powerMode", "Max", [](auto& m) { return m.powerMode() == PowerMode::balanced; }},
        {"rigwell.advancedWorkerCount", "0", [](auto& m) { return !m.advancedWorkerCount(); }},
        {"rigwell.advancedWorkerCount", "-3", [](auto& m) { return !m.advancedWorkerCount(); }},
        {"rigwell.advancedWorkerCount", "4", [](auto& m) { return m.advancedWorkerCount() == 4; }},
        {"rigwell.allowMiningOnBattery", "1", [](auto& m) { return !m.allowMiningOnBattery(); }},
        {"rigwell.preventIdleSleepEnabled", "yes",
         [](auto& m) { return !m.preventIdleSleepEnabled(); }},
        {"rigwell.usageStatisticsEnabled", "0", [](auto& m) { return m.usageStatisticsEnabled(); }},
        {"rigwell.usageStatisticsEnabled", "false",
         [](auto& m) { return !m.usageStatisticsEnabled(); }},
        {"rigwell.storageTargetGiB", "25",
         [](auto& m) { return m.storageTarget() == StorageTarget::gib15; }},
        {"rigwell.storageTargetGiB", "20",
         [](auto& m) { return m.storageTarget() == StorageTarget::gib20; }},
        {"rigwell.lifetimeHashes", "-5", [](auto& m) { return m.lifetimeHashes() == 0; }},
        {"rigwell.scheduleOverrideUntil", "tomorrow",
         [](auto& m) { return !m.scheduleOverrideUntil(); }},
        {"rigwell.scheduleSlots", "[" + hundredEco.join(',') + "]",
         [&](auto& m) { return m.schedule() == MiningSchedule(hundredEcoThenMax); }},
        {"rigwell.scheduleSlots", "[\"eco\",\"turbo\"]",
         [](auto& m) { return m.schedule() == MiningSchedule(ScheduledMode::balanced); }},
        {"rigwell.scheduleSlots", "not json",
         [](auto& m) { return m.schedule() == MiningSchedule(ScheduledMode::balanced); }},
    };
    for (const auto& row : rows) {
        SessionHarness harness;
        harness.preferences().setString(row.key, row.stored);
        const auto model = harness.make();
        EXPECT_TRUE(row.check(*model))
            << row.key.toStdString() << " = " << row.stored.toStdString();
        // A value that does not load is left for the user's next change to replace.
        EXPECT_EQ(harness.preferences().string(row.key), row.stored);
    }

    // The filled default follows the loaded power mode.
    SessionHarness harness;
    harness.preferences().setString("rigwell.powerMode", "max");
    EXPECT_EQ(harness.make()->schedule(), MiningSchedule(ScheduledMode::max));
}

TEST(SessionSettings, PayoutTextIsKeptPerNetworkAndSavedAtEveryAssignment) {
    SessionHarness harness;
    const auto model = harness.make();
    model->setPayoutAddressInput("address A");
    QSignalSpy networkChanges(model.get(), &MiningSessionModel::selectedNetworkChanged);

    model->setSelectedNetwork(BitcoinNetwork::testnet4);
    EXPECT_EQ(model->payoutAddressInput(), QString());
    EXPECT_EQ(harness.preferences().string("rigwell.payoutAddress.testnet4"), QString());
    EXPECT_EQ(harness.preferences().string("rigwell.selectedNetwork"), "testnet4");
    model->setPayoutAddressInput("address B");

    model->setSelectedNetworkName("mainnet");
    EXPECT_EQ(model->payoutAddressInput(), "address A");
    EXPECT_EQ(harness.preferences().string("rigwell.payoutAddress.testnet4"), "address B");
    EXPECT_EQ(networkChanges.count(), 2);

    // The same network again changes nothing; an unknown name is refused.
    harness.preferences().setString("rigwell.payoutAddress.mainnet", "edited elsewhere");
    model->setSelectedNetwork(BitcoinNetwork::mainnet);
    model->setSelectedNetworkName("moonnet");
    EXPECT_EQ(networkChanges.count(), 2);
    EXPECT_EQ(model->payoutAddressInput(), "address A");
    EXPECT_EQ(harness.preferences().string("rigwell.payoutAddress.mainnet"), "edited elsewhere");
}

TEST(SessionSettings, OverridesAndOptOutsStoreTheirCanonicalForms) {
    SessionHarness harness;
    auto preferences = harness.preferences();
    preferences.setString("rigwell.usageInstallId", "8D1C3C44-3A43-4E59-9F28-39A4B3A1E2F0");
    preferences.setString("rigwell.usageLastSentDay", "2026-06-14");
    const auto model = harness.make();

    model->setUsageStatisticsEnabled(false);
    EXPECT_FALSE(harness.preferences().contains("rigwell.usageInstallId"));
    EXPECT_FALSE(harness.preferences().contains("rigwell.usageLastSentDay"));
    const QStringList before = storedKeys(harness);
    model->setUsageStatisticsEnabled(true);
    EXPECT_EQ(harness.preferences().boolean("rigwell.usageStatisticsEnabled"), true);
    EXPECT_EQ(storedKeys(harness), before);

    // The views write numbers or undefined; below one worker means no override, stored as 0.
    model->setAdvancedWorkerCountValue(5);
    EXPECT_EQ(harness.preferences().integer("rigwell.advancedWorkerCount"), 5);
    model->setAdvancedWorkerCountValue(QVariant());
    EXPECT_EQ(model->advancedWorkerCount(), std::nullopt);
    EXPECT_EQ(harness.preferences().integer("rigwell.advancedWorkerCount"), 0);
    model->setAdvancedWorkerCount(-2);
    EXPECT_EQ(model->advancedWorkerCountValue(), QVariant());

    model->setStorageTargetGiB(25);
    EXPECT_FALSE(harness.preferences().contains("rigwell.storageTargetGiB"));
    model->setStorageTargetGiB(20);
    EXPECT_EQ(harness.preferences().integer("rigwell.storageTargetGiB"), 20);
    model->setPowerModeName("Max");
    EXPECT_EQ(model->powerMode(), PowerMode::balanced);
}

TEST(SessionSettings, IdleSleepPreventionTakesTheLockOnlyWhileASessionRuns) {
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    FakeLogind logind;
    ASSERT_TRUE(logind.serve(bus.connect()));
    SessionHarness harness;
    const auto model = harness.make(disconnectedBus(), bus.connect());

    model->setPreventIdleSleepEnabled(true);
    settle(200);
    EXPECT_EQ(logind.calls(), 0);
    EXPECT_EQ(harness.preferences().boolean("rigwell.preventIdleSleepEnabled"), true);

    // The same switch during a session takes the lock at once, and the end releases it.
    model->setRunState(runState(MiningSessionModel::RunStateKind::mining));
    model->applySleepPreventionSetting();
    ASSERT_TRUE(waitUntil([&] { return logind.calls() == 1; }));
    EXPECT_EQ(logind.lastArguments.value(0), "idle");
    model->setPreventIdleSleepEnabled(false);
    EXPECT_TRUE(waitUntil([&] { return logind.released() == 1; }));
}

// A settings file that cannot be read is never saved over, and the views say of it what they say
// of one that takes no change (the onboarding's first screen among them): what is answered now is
// kept no better. So for a store with no place at all. The log has the check's own line about
// either, never a refused save.
TEST(SessionSettings, AStoreThatKeepsNothingIsSaidToTheViewsAsOneThatTakesNoChange) {
    // The store of an unreadable file keeps nothing, and names it; as a user the mode binds
    // (root reads what it likes), in a process that does no more than open the store.
    const TempDir dir;
    fs::permissions(dir.path(), fs::perms::all);
    const auto file = dir.path() / "Corvanta.conf";
    const std::string kept = "[General]\nrigwell.powerMode=max\n";
    writeText(file, kept);
    fs::permissions(file, fs::perms::none);
    const QString path = QString::fromStdString(file.string());
    const std::string outcome = asUnprivilegedUser([&]() -> std::string {
        Preferences preferences(path);
        if (!preferences.keepsNothing()) return "taken for a store that keeps its changes";
        if (preferences.shownFileName() != path) return "not named";
        preferences.setString("rigwell.powerMode", "eco");
        return "";
    });
    EXPECT_EQ(outcome, "");
    fs::permissions(file, fs::perms::owner_read);
    EXPECT_EQ(readText(file), kept) << "saved over";

    // What the views are told of such a store.
    SessionHarness harness;
    MiningSessionModel model(Preferences{QtFileName()}, disconnectedBus(), disconnectedBus(),
                             harness.environment);
    EXPECT_EQ(model.settingsUnsavedFile(), "Corvanta.conf");
    EXPECT_TRUE(logMessages(model).filter("cannot be saved").isEmpty()) << "said as a refusal";
    model.setPowerMode(PowerMode::eco);
    EXPECT_EQ(model.settingsUnsavedFile(), "Corvanta.conf") << "no longer said after a change";
}

// A settings file that takes no change (here one whose folder is a file, which no user can write
// into) is said once, in the log and to the views, however many settings change after; each
// change still holds for this run.
TEST(SessionSettings, ASettingsFileThatTakesNoChangeIsSaidOnceInTheLogAndToTheViews) {
    const auto unsavedLines = [](MiningSessionModel& model) {
        return int(logMessages(model).filter("cannot be saved").size());
    };
    for (const bool writable : {true, false}) {
        SCOPED_TRACE(writable ? "a writable file" : "a file that takes no change");
        SessionHarness harness;
        const auto file = harness.dir.path() / (writable ? "config" : "blocker") / "Corvanta.conf";
        if (!writable) writeText(harness.dir.path() / "blocker", "a file, not a folder\n");
        const QString path = QString::fromStdString(file.string());
        MiningSessionModel model(Preferences(path), disconnectedBus(), disconnectedBus(),
                                 harness.environment);
        QSignalSpy told(&model, &MiningSessionModel::settingsUnsavedFileChanged);

        // Before any change: the user learns it before making one.
        EXPECT_EQ(model.settingsUnsavedFile(), writable ? QString() : path);
        EXPECT_EQ(unsavedLines(model), writable ? 0 : 1);
        if (!writable) {
            const QString line = logMessages(model).filter("cannot be saved").constFirst();
            EXPECT_TRUE(line.contains("Corvanta.conf cannot be saved (")) << line.toStdString();
        }

        model.setPowerMode(PowerMode::max);
        EXPECT_EQ(model.powerMode(), PowerMode::max) << "the change holds for this run";
        model.setStorageTarget(StorageTarget::gib30);
        model.setScheduleEnabled(true);
        model.accumulateLifetimeHashes(1'000);
        EXPECT_EQ(model.storageTarget(), StorageTarget::gib30);
        EXPECT_TRUE(model.scheduleEnabled());
        EXPECT_EQ(unsavedLines(model), writable ? 0 : 1) << "said once";
        EXPECT_EQ(told.count(), 0) << "said from the start, never again";
        // The file itself (another store in this process would share the unsaved values).
        EXPECT_EQ(std::filesystem::exists(file), writable);
        if (writable) {
            EXPECT_NE(readText(file).find("rigwell.storageTargetGiB=30"), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace corvanta::testing
