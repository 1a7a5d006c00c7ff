#include "api/APIErrorResponse.h"
#include "api/DeviceLimitResult.h"
#include "api/InternetDateTime.h"
#include "api/LoginResult.h"
#include "api/MeResult.h"
#include "api/OKResponse.h"

#include <QTest>

using namespace veloxa;

namespace {
const char* device = R"({"device_uuid":"A","device_name":"Studio","platform":"macos-arm64",
    "regions":["de"],"created_at":"2025-01-01T00:00:00Z"})";
const char* config =
    R"({"region":"de","region_label":"Germany","config":"{}","filename":"de.json"})";

QByteArray me(const QString& extra, const QString& configs = QString::fromLatin1(config)) {
    return QStringLiteral(R"({"email":"a@b.c","status":"active",%1"devices":[%2],"configs":[%3]})")
        .arg(extra, QString::fromLatin1(device), configs)
        .toUtf8();
}
} // namespace

class TestRecords : public QObject {
    Q_OBJECT
private slots:
    void decodesAndRoundTrips() {
        const auto decoded =
            JsonReader::decode<MeResult>(me(R"("expires_at":"2025-06-30T12:00:00Z","x":1,)"));
        QVERIFY2(decoded, qPrintable(decoded ? QString() : decoded.error().message));
        QCOMPARE(decoded->devices.size(), 1);
        QCOMPARE(decoded->devices[0].lastSeenAt, std::nullopt);
        QCOMPARE(decoded->configs[0].regionLabel, QStringLiteral("Germany"));
        // Encoding writes the same keys back, and leaves absent optionals out.
        const auto again =
            JsonReader::decode<MeResult>(QByteArray::fromStdString(decoded->toJson().dump()));
        QVERIFY(again);
        QCOMPARE(*again, *decoded);
        QVERIFY(!decoded->devices[0].toJson().contains("last_seen_at"));

        const auto login = JsonReader::decode<LoginResult>(QByteArrayLiteral(
            R"({"token":"t","email":"e","status":"expired","devices":[],"configs":[]})"));
        QVERIFY(login);
        QCOMPARE(login->expiresAt, std::nullopt);
        QCOMPARE(JsonReader::decode<LoginResult>(QByteArray::fromStdString(login->toJson().dump()))
                     .value(),
                 *login);

        const auto limit = JsonReader::decode<DeviceLimitResult>(
            QStringLiteral(R"({"replace_token":"r","max_devices":5,"devices":[%1]})")
                .arg(QLatin1String(device))
                .toUtf8());
        QVERIFY(limit);
        QCOMPARE(limit->maxDevices, 5);
        QCOMPARE(
            JsonReader::decode<DeviceLimitResult>(QByteArray::fromStdString(limit->toJson().dump()))
                .value(),
            *limit);
    }

    void rejectsBadBodies_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("messagePart");
        QTest::newRow("not JSON") << QByteArray("<html>") << "malformed JSON";
        QTest::newRow("array at top") << QByteArray("[]") << "expected an object";
        QTest::newRow("missing email")
            << QByteArray(R"({"status":"active","devices":[],"configs":[]})")
            << "missing key \"email\"";
        QTest::newRow("devices null")
            << me("").replace(QByteArray("\"devices\":[") + device + "]", "\"devices\":null")
            << "wrong type for \"devices\"";
        QTest::newRow("config without filename")
            << me("", R"({"region":"de","region_label":"G","config":"{}"})")
            << "configs[0].filename";
        QTest::newRow("region not a string")
            << me("", R"({"region":1,"region_label":"G","config":"{}","filename":"f"})")
            << "configs[0].region";
        QTest::newRow("regions with a number")
            << me("").replace("[\"de\"]", "[\"de\",1]") << "regions[1]";
        QTest::newRow("created_at missing")
            << me("").replace(",\"created_at\":\"2025-01-01T00:00:00Z\"", "") << "created_at";
        QTest::newRow("expires_at a number") << me(R"("expires_at":5,)") << "expires_at";
        // Deeper than any record, even under a key nobody reads: refused before parsing.
        QTest::newRow("nested too deeply")
            << me("\"x\":" + QString(33, u'[') + QString(33, u']') + u',') << "nested too deeply";
    }
    void rejectsBadBodies() {
        QFETCH(QByteArray, body);
        QFETCH(QString, messagePart);
        const auto decoded = JsonReader::decode<MeResult>(body);
        QVERIFY(!decoded);
        QVERIFY2(decoded.error().message.contains(messagePart),
                 qPrintable(decoded.error().message));
    }

    void integersAreSigned64Bit() {
        auto limit = [](const char* max) {
            return JsonReader::decode<DeviceLimitResult>(
                QStringLiteral(R"({"replace_token":"r","max_devices":%1,"devices":[]})")
                    .arg(QLatin1String(max))
                    .toUtf8());
        };
        QCOMPARE(limit("9223372036854775807")->maxDevices, std::numeric_limits<qint64>::max());
        QCOMPARE(limit("-3")->maxDevices, -3);
        QVERIFY(!limit("9223372036854775808"));
        QVERIFY(!limit("5.5"));
        QVERIFY(!limit("\"5\""));
    }

    void optionalsAndSmallRecords() {
        // Missing and null optionals both read as absent.
        QVERIFY(!JsonReader::decode<MeResult>(me(R"("expires_at":null,)"))->expiresAt);
        auto withLastSeen = QByteArray(device).replace("}", ",\"last_seen_at\":null}");
        QVERIFY(!JsonReader::decode<DeviceSummary>(withLastSeen)->lastSeenAt);
        QVERIFY(JsonReader::decode<OKResponse>("{\"ok\":false}"));
        QVERIFY(!JsonReader::decode<OKResponse>("{}"));
        QCOMPARE(JsonReader::decode<APIErrorResponse>(R"({"error":"Нет","code":7})")->error,
                 QStringLiteral("Нет"));
        QVERIFY(!JsonReader::decode<APIErrorResponse>(R"({"message":"x"})"));
    }

    void expiryForms_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("utc"); // empty: no date
        const char* const forms[][2] = {
            {"2025-06-30T12:00:00Z", "2025-06-30T12:00:00.000Z"},
            {"2025-06-30T12:00:00.123+03:00", "2025-06-30T09:00:00.123Z"},
            {"2025-06-30T12:00:00.123456Z", "2025-06-30T12:00:00.123Z"},
            {"2025-06-30T23:30:00-01:30", "2025-07-01T01:00:00.000Z"},
            {"2025-06-30t12:00:00.5z", "2025-06-30T12:00:00.500Z"},
            // No zone, no time, nothing, a word, no such month, a space, no such offset.
            {"2025-06-30T12:00:00", ""},
            {"2025-06-30", ""},
            {"", ""},
            {"tomorrow", ""},
            {"2025-13-01T00:00:00Z", ""},
            {"2025-06-30 12:00:00Z", ""},
            {"2025-06-30T12:00:00+25:00", ""}};
        for (const auto& [text, utc] : forms)
            QTest::addRow("'%s'", text) << QString::fromLatin1(text) << QString::fromLatin1(utc);
    }
    void expiryForms() {
        QFETCH(QString, text);
        QFETCH(QString, utc);
        const auto parsed = InternetDateTime::parse(text);
        if (utc.isEmpty()) {
            QVERIFY(!parsed);
        } else {
            QVERIFY(parsed);
            QCOMPARE(parsed->toUTC().toString(Qt::ISODateWithMs), utc);
        }
        QVERIFY(!InternetDateTime::parse(std::nullopt));
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
