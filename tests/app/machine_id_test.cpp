#include "app/machine_id.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace vantoli;

namespace {
AdapterInfo adapter(const char *mac, bool up = true, bool loopback = false, bool ip = true) {
    return {QString::fromLatin1(mac), up, loopback, ip};
}
} // namespace

TEST(AdapterIdentifier, TakesTheFirstUsableAdapterOnly) {
    EXPECT_EQ(pickAdapterIdentifier({adapter("00:00:00:00:00:00", true, true),
                                     adapter("52:54:00:aB:cd:01", false),
                                     adapter("52:54:00:12:34:56", true, false, false),
                                     adapter("52:54:00:Ab:Cd:Ef"), adapter("11:22:33:44:55:66")}),
              QStringLiteral("52-54-00-Ab-Cd-Ef"));
    EXPECT_EQ(pickAdapterIdentifier({}), QString());
    // The first usable one is rejected: no later adapter is tried.
    EXPECT_EQ(pickAdapterIdentifier({adapter("00:53:45:00:00:00"), adapter("11:22:33:44:55:66")}), QString());
    EXPECT_EQ(pickAdapterIdentifier({adapter("00:00:00:00:00:00")}), QString());
    EXPECT_EQ(pickAdapterIdentifier({adapter("")}), QString());
}

TEST(FallbackIdentifier, IsATimeStampAndAThreeDigitNumber) {
    const QString id = fallbackIdentifier();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^20\\d{2}\\d{5,10}[1-9]\\d\\d$")).match(id).hasMatch())
        << id.toStdString();
}

TEST(Scramble, MapsEachCharacterThroughThePermutation) {
    EXPECT_EQ(scramble(QString()), QStringLiteral("0"));
    for (qsizetype i = 0; i < kScrambleAlphabet.size(); ++i)
        EXPECT_EQ(scramble(QString(kScrambleAlphabet.at(i))), QString(kScramblePermutation.at(i)));
    const QString s = scramble(QStringLiteral("0|52-54-00-ab-cd-ef|1|1.0"));
    EXPECT_EQ(s.size(), 25);
    EXPECT_EQ(scramble(QStringLiteral("ABC")), scramble(QStringLiteral("abc")));
    EXPECT_EQ(scramble(QStringLiteral("a b")).size(), 2);
    EXPECT_EQ(scramble(QStringLiteral("中")), QString());
    EXPECT_EQ(unscramble(s), QStringLiteral("0|52-54-00-ab-cd-ef|1|1.0"));
}

TEST(Scramble, TableIsAPermutationOfTheAlphabet) {
    QString a = kScrambleAlphabet, p = kScramblePermutation;
    std::sort(a.begin(), a.end());
    std::sort(p.begin(), p.end());
    EXPECT_EQ(a, p);
}

TEST(CheckNumber, SumsSignedCodePageValues) {
    EXPECT_EQ(checkNumber(QStringLiteral("abc")), 294);
    EXPECT_EQ(checkNumber(QString()), 0);
    EXPECT_EQ(checkNumber(QStringLiteral("中")), static_cast<qint16>(0xD6D0));
}

TEST(StatisticsIdentity, UsesTheDefaultsWhenKeysAreMissing) {
    EXPECT_EQ(statisticsIdentity(QStringLiteral("0"), QStringLiteral("0")),
              scramble(QStringLiteral("0|0|1|1.0")));
}
