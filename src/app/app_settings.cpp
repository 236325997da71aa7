#include "app/app_settings.h"

#include <limits>

namespace vantoli {
namespace {

using F = SettingForm;

constexpr AppSetting kTable[] = {
    {AppKey::main_Name, u"main", u"Name", F::Text, u"Vantoli", false},
    {AppKey::User_Name, u"User", u"Name", F::Text, u"", false},
    {AppKey::Skin_Num, u"Skin", u"Num", F::Number, u"0", false},
    {AppKey::Ver_Name, u"Ver", u"Name", F::Text, u"1.0", false},
    {AppKey::ts, u"S_q", u"ts", F::Number, u"3", false},
    {AppKey::up, u"S_q", u"up", F::Switch, u"2", true},
    {AppKey::quit, u"S_q", u"quit", F::Switch, u"2", true},
    {AppKey::peerk, u"S_q", u"peerk", F::Switch, u"2", true},
    {AppKey::s_size, u"S_q", u"s_size", F::Switch, u"2", true},
    {AppKey::h_w, u"S_q", u"h_w", F::Twips, u"14850", true},
    {AppKey::h_h, u"S_q", u"h_h", F::Twips, u"9830", true},
    {AppKey::s_h, u"S_q", u"s_h", F::Switch, u"2", true},
    {AppKey::s_bo, u"S_q", u"s_bo", F::Switch, u"2", true},
    {AppKey::s_jd, u"S_q", u"s_jd", F::Switch, u"2", true},
    {AppKey::peerqi, u"S_q", u"peerqi", F::Switch, u"2", true},
    {AppKey::s_pao, u"S_q", u"s_pao", F::Switch, u"2", true},
    {AppKey::main_inst, u"main", u"inst", F::Text, {}, false},
    {AppKey::peerw, u"S_q", u"peerw", F::Text, {}, false},
};

// The table is indexed by key.
constexpr bool tableInKeyOrder() {
    for (size_t i = 0; i < std::size(kTable); ++i)
        if (static_cast<size_t>(kTable[i].id) != i)
            return false;
    return true;
}
static_assert(tableInKeyOrder());

QString str(QStringView v) { return v.toString(); }

} // namespace

std::span<const AppSetting> appSettings() { return kTable; }

const AppSetting &appSetting(AppKey id) { return kTable[static_cast<size_t>(id)]; }

QString AppSettings::text(AppKey id) const {
    const AppSetting &s = appSetting(id);
    return file_.read(str(s.section), str(s.key));
}

double AppSettings::number(AppKey id) const { return settingNumber(text(id)).value_or(0); }

bool AppSettings::isOn(AppKey id) const {
    Q_ASSERT(appSetting(id).form == SettingForm::Switch);
    return number(id) == 2;
}

bool AppSettings::isOff(AppKey id) const {
    Q_ASSERT(appSetting(id).form == SettingForm::Switch);
    return number(id) == 1;
}

void AppSettings::setText(AppKey id, const QString &value) const {
    const AppSetting &s = appSetting(id);
    file_.write(str(s.section), str(s.key), value);
}

void AppSettings::setSwitch(AppKey id, bool on) const {
    Q_ASSERT(appSetting(id).form == SettingForm::Switch);
    setText(id, on ? QStringLiteral("2") : QStringLiteral("1"));
}

void AppSettings::setNumber(AppKey id, int value) const {
    Q_ASSERT(appSetting(id).form != SettingForm::Text);
    setText(id, QString::number(value));
}

int AppSettings::skin() const { return number(AppKey::Skin_Num) == 1 ? 1 : 0; }

QSize AppSettings::windowSizeTwips() const {
    const auto length = [this](AppKey id) {
        const double n = number(id);
        // Beyond an int there is no length to cut it to.
        if (n <= double(std::numeric_limits<int>::min()) - 1 || n >= double(std::numeric_limits<int>::max()) + 1)
            return 0;
        return static_cast<int>(n);
    };
    return QSize(length(AppKey::h_w), length(AppKey::h_h));
}

void AppSettings::setWindowSizeTwips(QSize twips) const {
    setNumber(AppKey::h_w, twips.width());
    setNumber(AppKey::h_h, twips.height());
}

} // namespace vantoli
