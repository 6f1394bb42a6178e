// What the session model says of the settings file's saving, whoever writes to it: the views'
// preferences, the language and the session's own settings share one store.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include <filesystem>
#include <functional>
#include <vector>

#include "FakeServices.h"
#include "Localization/Localization.h"
#include "SessionHarness.h"
#include "Shell/Prefs.h"

namespace corvanta::testing {
namespace {

namespace fs = std::filesystem;

// The application's writers of the settings, over one store.
struct Writers {
    explicit Writers(const Preferences& store, const SessionHarness& harness)
        : model(store, disconnectedBus(), disconnectedBus(), harness.environment),
          prefs(store),
          language(store, {"fr"}) {}

    MiningSessionModel model;
    Prefs prefs;
    Localization language;
};

struct Writer {
    const char* name;
    const char* key;
    // Changes the setting: to a value other than its default on even rounds, back on odd ones.
    std::function<void(Writers&, int round)> write;
};

const std::vector<Writer>& writers() {
    static const std::vector<Writer> all{
        {"the theme", "rigwell.appTheme",
         [](Writers& w, int round) { w.prefs.setAppTheme(round % 2 == 0 ? "dark" : "light"); }},
        {"the window's mini mode", "rigwell.miniMode",
         [](Writers& w, int round) { w.prefs.setMiniMode(round % 2 == 0); }},
        {"the tray item", "rigwell.showInMenuBar",
         [](Writers& w, int round) { w.prefs.setShowInMenuBar(round % 2 != 0); }},
        {"the review prompt", "rigwell.reviewPromptAnswered",
         [](Writers& w, int round) { w.prefs.setReviewPromptAnswered(round % 2 == 0); }},
        {"the language", "rigwell.language",
         [](Writers& w, int round) {
             w.language.setLanguage(round % 2 == 0 ? AppLanguage::german : AppLanguage::italian);
         }},
        {"the power mode", "rigwell.powerMode",
         [](Writers& w, int round) {
             w.model.setPowerMode(round % 2 == 0 ? PowerMode::max : PowerMode::eco);
         }},
        {"the schedule", "rigwell.scheduleEnabled",
         [](Writers& w, int round) { w.model.setScheduleEnabled(round % 2 == 0); }},
    };
    return all;
}

// The settings folder taken away from every writer, root included (no mode binds root): a file
// stands where it was. Given back, it holds what it held.
struct SettingsFolder {
    fs::path folder;
    void refuse() const {
        fs::rename(folder, fs::path(folder).concat(".away"));
        writeText(folder, "not a folder\n");
    }
    void allow() const {
        fs::remove(folder);
        fs::rename(fs::path(folder).concat(".away"), folder);
    }
    QString file() const { return QString::fromStdString((folder / "Corvanta.conf").string()); }
};

int linesWith(MiningSessionModel& model, const char* words) {
    return int(logMessages(model).filter(words).size());
}

// Whoever meets the refusal, it is said once, above the cards and in the log; whoever's write is
// then saved ends it, and the file holds what was changed meanwhile.
TEST(SessionSettingsSaving, EveryWriterOfTheSettingsCountsForWhatIsSaidOfTheirSaving) {
    const auto& all = writers();
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Writer& failing = all[i];
        const Writer& saving = all[(i + 1) % all.size()];
        SCOPED_TRACE(std::string(failing.name) + " refused, then " + saving.name + " saved");
        SessionHarness harness;
        const SettingsFolder settings{harness.dir.path() / "config"};
        fs::create_directories(settings.folder);
        Writers w(Preferences(settings.file()), harness);
        QSignalSpy told(&w.model, &MiningSessionModel::settingsUnsavedFileChanged);
        ASSERT_EQ(w.model.settingsUnsavedFile(), QString());

        settings.refuse();
        failing.write(w, 0);
        EXPECT_EQ(w.model.settingsUnsavedFile(), settings.file());
        failing.write(w, 1);
        saving.write(w, 0);
        EXPECT_EQ(linesWith(w.model, "cannot be saved"), 1) << "said once";
        EXPECT_EQ(told.count(), 1);

        settings.allow();
        saving.write(w, 1);
        EXPECT_EQ(w.model.settingsUnsavedFile(), QString());
        EXPECT_EQ(linesWith(w.model, "is saved again"), 1);
        EXPECT_EQ(told.count(), 2);
        const std::string text = readText(settings.folder / "Corvanta.conf");
        EXPECT_NE(text.find(std::string(failing.key) + "="), std::string::npos) << text;
    }
}

// A start clears the log and a long log loses its oldest lines: what still holds of the settings
// file is said again after either, and only that, once: never twice while it is among the lines
// kept.
TEST(SessionSettingsSaving, WhatStillHoldsOfTheSettingsFileOutlivesTheLinesDropped) {
    const QString check = "Settings file Corvanta.conf was not a regular file: it was set aside";
    struct Drop {
        const char* name;
        std::function<void(MiningSessionModel&)> drop;
    };
    const std::vector<Drop> drops{
        {"the start", [](MiningSessionModel& model) { model.start(); }},
        {"a trim",
         [](MiningSessionModel& model) {
             for (int i = 0; i < EventLogModel::capacity; ++i) model.appendLog("a line");
         }},
        // The second trim drops the first of the lines said again after the first and keeps the
        // second: only the one dropped is said again.
        {"two trims",
         [](MiningSessionModel& model) {
             for (int i = 0; i < 2 * EventLogModel::capacity; ++i) model.appendLog("a line");
         }},
    };
    for (const Drop& drop : drops) {
        for (const bool refusedStill : {true, false}) {
            SCOPED_TRACE(std::string(drop.name) +
                         (refusedStill ? ", still refused" : ", saved again before"));
            SessionHarness harness;
            harness.environment.session.nodeProgram = [root = harness.dir.path()] {
                return root / "no-node-here";
            };
            const SettingsFolder settings{harness.dir.path() / "config"};
            fs::create_directories(settings.folder);
            settings.refuse();
            MiningSessionModel model(Preferences(settings.file()), disconnectedBus(),
                                     disconnectedBus(), harness.environment);
            model.noteSettingsFileCheck(check);
            model.setSelectedNetwork(BitcoinNetwork::regtest);
            if (!refusedStill) {
                settings.allow();
                model.setPowerMode(PowerMode::eco);
            }
            model.appendLog("a line said before");

            drop.drop(model);
            const QStringList log = logMessages(model);
            ASSERT_FALSE(log.contains("a line said before")) << "nothing was dropped";
            EXPECT_EQ(log.filter(check).size(), 1);
            EXPECT_EQ(log.filter("cannot be saved").size(), refusedStill ? 1 : 0);
            EXPECT_EQ(log.filter("is saved again").size(), 0);
            EXPECT_EQ(model.settingsUnsavedFile(), refusedStill ? settings.file() : QString());
            if (model.runStateKind() != MiningSessionModel::RunStateKind::idle) {
                ASSERT_TRUE(waitUntil([&] {
                    return model.runStateKind() == MiningSessionModel::RunStateKind::failed;
                }));
            }
        }
    }
}

}  // namespace
}  // namespace corvanta::testing
