#pragma once
// The keys of App.ini in one table (section, key, how the stored text is
// read, the value written at first start) and typed access to them, so that
// no caller compares stored text with "2" by itself.
//
// Every read still goes to the file (a value written anywhere is seen by the
// next read everywhere), and a missing key reads as "0", as in every part of
// the program. Switches and numbers are read as numbers: " 2" and "2.0" are
// 2; text that is no number is 0. Writers write exactly the text the program
// has always written ("2"/"1" for a switch, decimal digits for a number).

#include "app/settings_file.h"

#include <QSize>
#include <QString>

#include <span>

namespace vantoli {

// A key of App.ini. Keys of section S_q carry their stored name; keys of the
// other sections are named section_key.
enum class AppKey {
    main_Name, User_Name, Skin_Num, Ver_Name,
    ts, up, quit, peerk, s_size, h_w, h_h, s_h, s_bo, s_jd, peerqi, s_pao,
    main_inst, peerw,
};

enum class SettingForm {
    Switch, // "2" on, "1" off; any other value is neither
    Number, // a count or state, read as a number
    Twips,  // a length in twips, read as a number and cut to a whole int
    Text,   // the stored text as it is
};

struct AppSetting {
    AppKey id;
    QStringView section; // as the program writes it; reads ignore case
    QStringView key;
    SettingForm form;
    // Written at first start; null when nothing is. User/Name gets the
    // machine identifier instead of its empty entry.
    QStringView firstStart;
    bool repaired;          // start-up writes firstStart back when it reads as 0
};

// Every key, those with a first-start value first and in the order start-up
// writes them (which is also the order of the repair pass).
std::span<const AppSetting> appSettings();
const AppSetting &appSetting(AppKey id);

class AppSettings {
public:
    explicit AppSettings(Settings file) : file_(std::move(file)) {}
    const Settings &file() const { return file_; }

    // By key.
    QString text(AppKey id) const; // "0" when missing
    double number(AppKey id) const; // 0 when missing or no number
    bool isOn(AppKey id) const;     // reads as 2
    bool isOff(AppKey id) const;    // reads as 1
    void setText(AppKey id, const QString &value) const;
    void setSwitch(AppKey id, bool on) const; // "2" or "1"
    void setNumber(AppKey id, int value) const;

    // main/inst: the installation tag; User/Name: the machine identifier.
    QString installTag() const { return text(AppKey::main_inst); }
    QString machineIdentifier() const { return text(AppKey::User_Name); }

    // Skin/Num: 1 when it reads as 1, else 0 (only skins 0 and 1 exist).
    int skin() const;
    void setSkin(int skin) const { setNumber(AppKey::Skin_Num, skin); }

    // s_size on: start at the saved size h_w x h_h (twips).
    bool rememberWindowSize() const { return isOn(AppKey::s_size); }
    // A missing or unreadable length, or one beyond an int, is 0.
    QSize windowSizeTwips() const;
    void setWindowSizeTwips(QSize twips) const;

    // ts 3: the close question has not been asked yet.
    bool closeQuestionPending() const { return number(AppKey::ts) == 3; }
    void setCloseQuestionAsked() const { setNumber(AppKey::ts, 1); }
    // quit: hide to the tray on close unless it reads as 1.
    bool closeHidesToTray() const { return !isOff(AppKey::quit); }
    void setCloseHidesToTray(bool hide) const { setSwitch(AppKey::quit, hide); }

    bool installUpdatesWithoutAsking() const { return isOn(AppKey::up); } // up
    bool endPlayerProgramsOnExit() const { return isOn(AppKey::peerk); }  // peerk
    bool keepPlayerApplication() const { return isOff(AppKey::peerqi); }  // peerqi 1
    bool bufferNextEpisode() const { return isOn(AppKey::s_h); }
    bool playNextEpisode() const { return isOn(AppKey::s_bo); }
    bool balloonsWanted() const { return isOn(AppKey::s_pao); }

    // peerw: the player folder as stored ("0" when missing).
    QString storedPlayerFolder() const { return text(AppKey::peerw); }
    void setStoredPlayerFolder(const QString &folder) const { setText(AppKey::peerw, folder); }

private:
    Settings file_;
};

} // namespace vantoli
