// The update check against a local HTTPS server (Python's http.server behind ssl, with a
// certificate made for the run and trusted through the check's certificate setting) and a test
// Ed25519 key made for the run.
#include <gtest/gtest.h>

#include <QProcess>
#include <QSignalSpy>
#include <QTcpSocket>

#include <openssl/evp.h>

#include <fstream>
#include <memory>

#include "AppTestEnvironment.h"
#include "TestSupport.h"
#include "Updates/Appcast.h"
#include "Updates/Ed25519.h"
#include "Updates/UpdateCheck.h"

namespace corvanta {
namespace {

using testing::TempDir;

struct KeyDeleter {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
    void operator()(EVP_PKEY_CTX* context) const { EVP_PKEY_CTX_free(context); }
};

// A fresh Ed25519 key pair.
class SigningKey {
  public:
    SigningKey() {
        const std::unique_ptr<EVP_PKEY_CTX, KeyDeleter> context(
            EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr));
        EVP_PKEY* made = nullptr;
        if (!context || EVP_PKEY_keygen_init(context.get()) != 1 ||
            EVP_PKEY_keygen(context.get(), &made) != 1) {
            throw std::runtime_error("no Ed25519 key");
        }
        key_.reset(made);
    }

    QString publicKeyBase64() const {
        QByteArray raw(32, '\0');
        std::size_t size = 32;
        EVP_PKEY_get_raw_public_key(key_.get(), reinterpret_cast<unsigned char*>(raw.data()),
                                    &size);
        return QString::fromLatin1(raw.toBase64());
    }

    QByteArray sign(const QByteArray& message) const {
        const std::unique_ptr<EVP_MD_CTX, KeyDeleter> context(EVP_MD_CTX_new());
        QByteArray signature(64, '\0');
        std::size_t size = 64;
        EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key_.get());
        EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(signature.data()), &size,
                       reinterpret_cast<const unsigned char*>(message.constData()),
                       std::size_t(message.size()));
        return signature;
    }

  private:
    std::unique_ptr<EVP_PKEY, KeyDeleter> key_;
};

struct Release {
    Release(const char* version, const char* minimumSystemVersion = "", bool tamper = false)
        : version(version),
          minimumSystemVersion(minimumSystemVersion),
          tamperAfterSigning(tamper) {}
    QString version;
    QString minimumSystemVersion;
    bool tamperAfterSigning;
};

QString itemXml(const SigningKey& key, const Release& release) {
    AppcastItem item;
    item.version = release.version;
    item.minimumSystemVersion = release.minimumSystemVersion;
    item.enclosureURL =
        QStringLiteral("https://corvanta.example/corvanta_%1_amd64.deb").arg(release.version);
    item.downloadPage = QStringLiteral("https://corvanta.example/download/%1").arg(release.version);
    const QByteArray signature = key.sign(item.signedMessage()).toBase64();
    const QString version = release.tamperAfterSigning ? release.version + ".1" : release.version;
    QString xml =
        QStringLiteral("<item><title>Corvanta %1</title><sparkle:version>%1</sparkle:version>")
            .arg(version);
    if (!release.minimumSystemVersion.isEmpty()) {
        xml += QStringLiteral("<sparkle:minimumSystemVersion>%1</sparkle:minimumSystemVersion>")
                   .arg(release.minimumSystemVersion);
    }
    xml += QStringLiteral(
               "<link>%1</link><enclosure url=\"%2\" length=\"1000\" "
               "type=\"application/vnd.debian.binary-package\" "
               "sparkle:edSignature=\"%3\"/></item>")
               .arg(item.downloadPage, item.enclosureURL, QString::fromLatin1(signature));
    return xml;
}

QString feedXml(const SigningKey& key, const std::vector<Release>& releases) {
    QString xml = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\" "
        "xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"><channel>"
        "<title>Corvanta</title>");
    for (const Release& release : releases) xml += itemXml(key, release);
    return xml + QStringLiteral("</channel></rss>\n");
}

// Serves the files of a folder over HTTPS on 127.0.0.1 with a self-signed certificate.
class FeedServer {
  public:
    FeedServer() : port_(1) {
        const auto run = [](const QString& program, const QStringList& arguments) {
            QProcess process;
            process.start(program, arguments);
            return process.waitForFinished(60000) && process.exitCode() == 0;
        };
        cert_ = QString::fromStdString((folder_.path() / "cert.pem").string());
        const QString key = QString::fromStdString((folder_.path() / "key.pem").string());
        if (!run("openssl",
                 {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                  "-nodes", "-days", "1", "-subj", "/CN=127.0.0.1", "-addext",
                  "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", cert_})) {
            throw std::runtime_error("openssl could not make the test certificate");
        }
        server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server_.start("python3", {"-c", R"(
import functools, http.server, ssl, sys
port, folder, cert, key = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass
server = http.server.ThreadingHTTPServer(("127.0.0.1", port), functools.partial(Quiet, directory=folder))
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(cert, key)
server.socket = context.wrap_socket(server.socket, server_side=True)
print("ready", flush=True)
server.serve_forever()
)",
                                  QString::number(port_.first()),
                                  QString::fromStdString(folder_.path().string()), cert_, key});
        if (!server_.waitForReadyRead(30000))
            throw std::runtime_error("the feed server did not start");
    }
    ~FeedServer() {
        server_.kill();
        server_.waitForFinished();
    }

    QString publish(const QString& name, const QString& body) const {
        std::ofstream(folder_.path() / name.toStdString()) << body.toStdString();
        return QStringLiteral("https://127.0.0.1:%1/%2").arg(port_.first()).arg(name);
    }
    const QString& certificate() const { return cert_; }

  private:
    TempDir folder_;
    testing::ReservedPorts port_;
    QString cert_;
    QProcess server_;
};

class UpdateCheckTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { server_ = std::make_unique<FeedServer>(); }
    static void TearDownTestSuite() { server_.reset(); }

    UpdateCheck::Settings settings(const QString& url) const {
        UpdateCheck::Settings settings;
        settings.feedURL = url;
        settings.publicKey = key_.publicKeyBase64();
        settings.runningVersion = "0.1.0";
        settings.systemVersion = "12";
        settings.certificateAuthorityFile = server_->certificate();
        settings.timeoutSeconds = 20;
        return settings;
    }
    UpdateCheckResult check(const QString& name, const QString& feed) const {
        const auto s = settings(server_->publish(name, feed));
        return UpdateCheck::evaluate(s, UpdateCheck::download(s, running_));
    }

    static std::unique_ptr<FeedServer> server_;
    SigningKey key_;
    const std::atomic<bool> running_{false};
};
std::unique_ptr<FeedServer> UpdateCheckTest::server_;

TEST_F(UpdateCheckTest, ANewerSignedReleaseIsOfferedWithItsPage) {
    // The newest release this system can run wins; one needing a newer system is passed over.
    const auto result =
        check("newer.xml", feedXml(key_, {{"0.0.9"}, {"0.10.0", "11"}, {"0.9.0"}, {"4.0", "13"}}));
    ASSERT_EQ(result.kind, UpdateCheckResult::Kind::newer) << result.reason.toStdString();
    EXPECT_EQ(result.version, "0.10.0");
    EXPECT_EQ(result.page, QUrl("https://corvanta.example/download/0.10.0"));

    // The same through the asynchronous check the tray runs.
    UpdateCheck asynchronous(
        settings(server_->publish("newer-async.xml", feedXml(key_, {{"0.2"}}))));
    QSignalSpy finished(&asynchronous, &UpdateCheck::finished);
    asynchronous.start();
    asynchronous.start();  // one check at a time
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_EQ(finished.at(0).at(0).value<UpdateCheckResult>().version, "0.2");
    testing::settle(50);
    EXPECT_EQ(finished.count(), 1);
}

TEST_F(UpdateCheckTest, TheSameOrAnOlderVersionIsNoUpdate) {
    auto result = check("same.xml", feedXml(key_, {{"0.1.0"}}));
    EXPECT_EQ(result.kind, UpdateCheckResult::Kind::current) << result.reason.toStdString();
    result = check("older.xml", feedXml(key_, {{"0.0.9"}, {"0.1"}}));
    EXPECT_EQ(result.kind, UpdateCheckResult::Kind::current) << result.reason.toStdString();
}

TEST_F(UpdateCheckTest, ABadSignatureIsRefused) {
    // A field changed after signing, and a release signed by another key.
    auto result = check("tampered.xml", feedXml(key_, {{"0.2.0", "", true}}));
    EXPECT_EQ(result.kind, UpdateCheckResult::Kind::failed);
    EXPECT_TRUE(result.reason.contains("does not verify")) << result.reason.toStdString();
    const SigningKey stranger;
    result = check("stranger.xml", feedXml(stranger, {{"0.2.0"}}));
    EXPECT_EQ(result.kind, UpdateCheckResult::Kind::failed);
    EXPECT_TRUE(result.reason.contains("does not verify")) << result.reason.toStdString();
}

TEST_F(UpdateCheckTest, AMalformedFeedIsRefused) {
    const QString good = feedXml(key_, {{"0.2.0"}});
    for (const QString& feed :
         {good.left(good.size() / 2), QString("<html>not a feed</html>"),
          QString(good)
              .replace("sparkle:version>0.2.0<", "sparkle:version>two<")
              .replace("sparkle:version>0.2.0<", "sparkle:version>two<"),
          QString(good).replace("https://corvanta.example/download", "http://corvanta.example/d"),
          QString(good).replace("sparkle:edSignature=\"", "sparkle:edSignature=\"!!")}) {
        const auto result = check("malformed.xml", feed);
        EXPECT_EQ(result.kind, UpdateCheckResult::Kind::failed);
        EXPECT_TRUE(result.reason.startsWith("malformed feed")) << result.reason.toStdString();
    }
}

TEST_F(UpdateCheckTest, NetworkFailuresAreReportedAndTrustIsNeverSkipped) {
    // Nothing listens on a reserved port.
    const testing::ReservedPorts closed;
    auto s = settings(QStringLiteral("https://127.0.0.1:%1/feed.xml").arg(closed.first()));
    auto result = UpdateCheck::evaluate(s, UpdateCheck::download(s, running_));
    EXPECT_EQ(result.kind, UpdateCheckResult::Kind::failed);
    EXPECT_TRUE(result.reason.contains("could not be downloaded")) << result.reason.toStdString();

    // Without the test certificate trusted, the server is refused.
    s = settings(server_->publish("untrusted.xml", feedXml(key_, {{"0.2.0"}})));
    s.certificateAuthorityFile.clear();
    result = UpdateCheck::evaluate(s, UpdateCheck::download(s, running_));
    EXPECT_EQ(result.kind, UpdateCheckResult::Kind::failed);

    // A missing file on the server is an error, not an empty feed.
    s = settings(server_->publish("present.xml", "").replace("present.xml", "absent.xml"));
    result = UpdateCheck::evaluate(s, UpdateCheck::download(s, running_));
    EXPECT_TRUE(result.reason.contains("could not be downloaded")) << result.reason.toStdString();

    // A check cancelled (its owner gone) ends at once, as an error.
    const std::atomic<bool> cancelled{true};
    s = settings(server_->publish("cancelled.xml", feedXml(key_, {{"0.2.0"}})));
    EXPECT_FALSE(UpdateCheck::download(s, cancelled).error.isEmpty());
}

TEST(Appcast, VersionsCompareAsDottedNumbers) {
    EXPECT_EQ(compareVersions("0.10.0", "0.9.9"), 1);
    EXPECT_EQ(compareVersions("1.0", "1.0.0"), 0);
    EXPECT_EQ(compareVersions("1.0.0", "1.0.1"), -1);
    EXPECT_FALSE(compareVersions("1.0-beta", "1.0"));
    EXPECT_FALSE(compareVersions("", "1"));
}

TEST(Appcast, TheSignedMessageCoversEveryFieldActedOn) {
    AppcastItem item{"0.2.0", "12", "https://a.example/x.deb", "https://a.example/", {}};
    EXPECT_EQ(item.signedMessage(),
              "corvanta-appcast-v1\nversion=0.2.0\nminimumSystemVersion=12\n"
              "enclosure=https://a.example/x.deb\npage=https://a.example/\n");
    // The OpenSSL check itself: a good signature passes, any change fails.
    const SigningKey key;
    const QByteArray raw = QByteArray::fromBase64(key.publicKeyBase64().toLatin1());
    const QByteArray signature = key.sign("message");
    EXPECT_TRUE(verifyEd25519(raw, "message", signature));
    EXPECT_FALSE(verifyEd25519(raw, "messagf", signature));
    EXPECT_FALSE(verifyEd25519(raw.left(31), "message", signature));
}

}  // namespace
}  // namespace corvanta
