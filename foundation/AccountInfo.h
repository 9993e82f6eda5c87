#pragma once

#include <QString>

// The saved account, section "account" of the settings store. The login
// dialog sets its own defaults (zone "+86", automatic login on) before it asks
// the store, so that a saved account without "zone" or "mode" keeps them.
struct AccountInfo
{
    int mode = 0;           // 0 QR code, 1 nickname, 2 phone, 3 QQ, 4 WeChat, 5 Weibo
    QString zone;           // dial code with its plus sign, as "+86"
    QString name;           // nickname (mode 1) or phone number (mode 2)
    QString token;          // long token of the last successful sign-in
    bool autoLogin = false; // sign in automatically at start-up
};
