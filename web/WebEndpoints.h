#pragma once

#include <QString>

// Every address the program builds on the platform's web hosts, from one table
// of hosts. The platform's real hosts do not exist here, so every host
// defaults to a loopback address where nothing listens (127.0.0.1:9): a
// request fails at once, no name is resolved and nothing leaves the machine.
//
// MORVASHOW_HOSTS overrides hosts with a JSON object of "host[:port]" texts,
// e.g. {"webApi":"127.0.0.1:8080","clientApi":"127.0.0.1:8080"}. Keys:
// webApi, clientApi, passport, site, analytics, music, forum, feedback.
// The variable is read again whenever its value changes. A value that is no
// host[:port] is ignored with a warning and the default stays.
class WebEndpoints
{
public:
    enum Host {
        WebApi,    // server time, open-status query
        ClientApi, // outside-account sign-in
        Passport,  // captcha page, registration page
        WebSite,   // client download, password recovery, member and room pages
        Analytics, // action records
        Music,     // music API
        Forum,     // help forum
        Feedback,  // feedback group's join page
        HostCount
    };

    static QString defaultHost();
    // The key of the kind in MORVASHOW_HOSTS.
    static QString key(Host kind);
    // "host[:port]" as configured: setHost, else MORVASHOW_HOSTS, else the default.
    static QString host(Host kind);

    // Overrides one host in this process, ahead of MORVASHOW_HOSTS; an empty
    // text removes the override. Returns false (and changes nothing) for a
    // text that is no host[:port].
    static bool setHost(Host kind, const QString &hostPort);
    static void clearOverrides();
    static bool isValidHost(const QString &hostPort);

    // "http://" web API + "/H5nc/src/timestamp"
    static QString serverTimeUrl();
    // "https://" web API + "/musicnc/anchor/getOpenStatus"
    static QString openStatusUrl();
    // "https://" analytics + "/deliver/tide2"
    static QString analyticsUrl();
    // "http://" client API + "/api/appcastmate/oauthSignin/" + provider
    // ("qq", "weibo" or "weixin")
    static QString oauthSigninUrl(const QString &provider);
    // "http://" passport + "/api/appCaptchaV3?style=3&client_sys=mvshow&deviceid=" + id + "&version=" + version
    static QString captchaPageUrl(const QString &deviceId, const QString &version);
    // "https://" passport + "/member/login?type=reg"
    static QString registerPageUrl();
    // "https://" web site; room pages are this + "/" + room id
    static QString siteBaseUrl();
    // "https://" web site + "/client?platform=2"
    static QString clientDownloadUrl();
    // "http://" web site + "/member/findpassword"
    static QString findPasswordUrl();
    // "https://" web site + "/member/cp"
    static QString memberCentreUrl();
    // "https://" forum + "/forum.php?mod=viewthread&tid=3"
    static QString helpForumUrl();
    // "https://" feedback + "/"
    static QString feedbackGroupUrl();
    // "https://" music
    static QString musicApiBaseUrl();
};
