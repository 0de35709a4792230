#pragma once

#include <QString>

// Where the engine's requests go and who sends them: the platform base URL
// (ending in "/"), the session key and machine id of the login, the account's
// user id, and the application title that captions the engine's messages.
// Built once after the login and handed to the engine.
struct PlatformEndpoint
{
    QString baseUrl;
    QString sessionKey;
    QString machineId;
    QString userId;
    QString appTitle;

    // A platform page: the base URL + the page's relative path.
    QString page(const QString &relative) const { return baseUrl + relative; }
};
