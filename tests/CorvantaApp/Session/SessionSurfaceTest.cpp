// The session model's meta-object against the surface the views are written for.
#include <gtest/gtest.h>

#include <QFile>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QRegularExpression>

#include <map>
#include <set>

#include <QQmlContext>
#include <QQmlEngine>
#include <QQmlExpression>

#include "SessionHarness.h"
#include "Session/MiningSessionModel.h"

namespace corvanta {
namespace {

struct SurfaceProperty {
    bool writable = false;
    QStringList fields;
};

struct Surface {
    std::map<QString, SurfaceProperty> properties;
    std::set<QByteArray> operations;
};

Surface readSurface() {
    QFile file(
        QStringLiteral(CORVANTA_SOURCE_DIR "/tests/CorvantaApp/data/SessionModelSurface.txt"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    Surface surface;
    for (const QString& raw : QString::fromUtf8(file.readAll()).split(u'\n')) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) continue;
        const QStringList parts = line.section(u':', 0, 0).split(u' ', Qt::SkipEmptyParts);
        if (parts.first() == QLatin1String("operation")) {
            surface.operations.insert(QMetaObject::normalizedSignature(parts.at(1).toUtf8()));
            continue;
        }
        SurfaceProperty property;
        property.writable = parts.size() > 2 && parts.at(2) == QLatin1String("rw");
        if (line.contains(u':')) {
            property.fields = line.section(u':', 1).split(u' ', Qt::SkipEmptyParts);
        }
        EXPECT_TRUE(surface.properties.emplace(parts.at(1), property).second)
            << "listed twice: " << parts.at(1).toStdString();
    }
    return surface;
}

QStringList gadgetFields(const QMetaObject& gadget) {
    QStringList fields;
    for (int i = gadget.propertyOffset(); i < gadget.propertyCount(); ++i) {
        fields << QString::fromLatin1(gadget.property(i).name());
    }
    return fields;
}

TEST(SessionModelSurface, MetaObjectOffersExactlyTheListedPropertiesAndOperations) {
    const Surface surface = readSurface();
    ASSERT_GT(surface.properties.size(), 60u);
    const QMetaObject& meta = MiningSessionModel::staticMetaObject;

    std::set<QString> offered;
    for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i) {
        const QMetaProperty property = meta.property(i);
        const QString name = QString::fromLatin1(property.name());
        offered.insert(name);
        const auto listed = surface.properties.find(name);
        if (listed == surface.properties.end()) {
            ADD_FAILURE() << "not on the views' list: " << property.name();
            continue;
        }
        EXPECT_TRUE(property.hasNotifySignal() || property.isConstant()) << property.name();
        EXPECT_EQ(property.isWritable(), listed->second.writable) << property.name();
    }
    for (const auto& [name, property] : surface.properties) {
        EXPECT_TRUE(offered.contains(name)) << "missing: " << name.toStdString();
    }

    std::set<QByteArray> invokable;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod method = meta.method(i);
        if (method.methodType() == QMetaMethod::Method) invokable.insert(method.methodSignature());
    }
    EXPECT_EQ(invokable, surface.operations);
}

TEST(SessionModelSurface, RecordsCarryTheListedFields) {
    const Surface surface = readSurface();
    const std::map<QString, const QMetaObject*> records = {
        {QStringLiteral("cpuUsage"), &CPUUsageView::staticMetaObject},
        {QStringLiteral("freshChainStatus"), &ChainStatusView::staticMetaObject},
        {QStringLiteral("chainStatus"), &ChainStatusView::staticMetaObject},
        {QStringLiteral("currentCandidateValidation"), &CandidateValidation::staticMetaObject},
        {QStringLiteral("candidateValidation"), &CandidateValidation::staticMetaObject},
        {QStringLiteral("blockFoundPresentation"), &BlockFoundPresentation::staticMetaObject},
        {QStringLiteral("earnings"), &EarningsView::staticMetaObject},
        {QStringLiteral("earningsScanState"), &EarningsScanStateView::staticMetaObject},
        {QStringLiteral("persistedHistory"), &FoundBlockView::staticMetaObject},
        {QStringLiteral("proofVerification"), &ProofVerificationView::staticMetaObject},
        {QStringLiteral("recentProofEntries"), &ProofEntryView::staticMetaObject},
        {QStringLiteral("workLoadStatistics"), &WorkLoadStatistics::staticMetaObject},
        {QStringLiteral("selfTestVerdict"), &SelfTestVerdictView::staticMetaObject},
        {QStringLiteral("activePayout"), &PayoutView::staticMetaObject},
        {QStringLiteral("hashRateHistory"), &HashRateSample::staticMetaObject},
        {QStringLiteral("blocksFound"), &FoundBlockRecord::staticMetaObject},
    };
    for (const auto& [name, property] : surface.properties) {
        const auto record = records.find(name);
        if (property.fields.isEmpty()) {
            EXPECT_EQ(record, records.end()) << name.toStdString() << " lists no fields";
            continue;
        }
        ASSERT_NE(record, records.end()) << name.toStdString();
        QStringList expected = property.fields;
        QStringList actual = gadgetFields(*record->second);
        expected.sort();
        actual.sort();
        EXPECT_EQ(actual.join(' ').toStdString(), expected.join(' ').toStdString())
            << name.toStdString();
    }

    // The event log is a list model with one role per field of a line.
    EventLogModel log;
    QStringList roles;
    for (const QByteArray& role : log.roleNames()) roles << QString::fromLatin1(role);
    roles.sort();
    EXPECT_EQ(roles.join(' ').toStdString(), "id message timestamp");
}

TEST(SessionModelSurface, ViewsReadRecordsAndWriteSettingsThroughQml) {
    testing::SessionHarness harness;
    const auto model = harness.make();
    ASSERT_TRUE(testing::waitUntil([&] { return model->cpuUsage().has_value(); }));
    model->setAdvancedWorkerCount(3);
    model->accumulateLifetimeHashes(18'446'744'073'709'551'615u);
    model->appendLog("line");

    QQmlEngine engine;
    engine.rootContext()->setContextProperty("session", model.get());
    const auto evaluate = [&](const char* expression) {
        QQmlExpression evaluated(engine.rootContext(), nullptr, QString::fromUtf8(expression));
        const QVariant value = evaluated.evaluate();
        EXPECT_FALSE(evaluated.hasError()) << evaluated.error().toString().toStdString();
        return value;
    };
    EXPECT_GE(evaluate("session.cpuUsage.systemFraction").toDouble(), 0.0);
    EXPECT_TRUE(evaluate("session.activeNetwork === undefined").toBool());
    EXPECT_TRUE(evaluate("session.selfTestVerdict === undefined || session.selfTestVerdict.passed")
                    .toBool());
    EXPECT_EQ(evaluate("session.lifetimeHashesText").toString(), "18446744073709551615");
    EXPECT_EQ(evaluate("session.eventLog.count").toInt(), model->eventLog()->count());
    EXPECT_EQ(evaluate("session.earningsScanState.kind").toString(), "neverScanned");
    EXPECT_EQ(evaluate("session.schedule[0]").toString(), "balanced");
    EXPECT_EQ(evaluate("session.runState").toInt(), int(MiningSessionModel::RunStateKind::idle));
    EXPECT_EQ(evaluate("session.appliedPowerMode(6, 9)").toString(), "balanced");
    EXPECT_TRUE(evaluate("session.appliedPowerMode(undefined, 9) === undefined").toBool());
    evaluate("session.powerMode = 'max'");
    evaluate("session.advancedWorkerCount = undefined");
    evaluate("session.storageTarget = 30");
    EXPECT_EQ(model->powerMode(), PowerMode::max);
    EXPECT_EQ(model->advancedWorkerCount(), std::nullopt);
    EXPECT_EQ(model->storageTarget(), StorageTarget::gib30);
}

}  // namespace
}  // namespace corvanta
