#pragma once

#include "sim/platformsim.h"

namespace sim {

// Each file of pages registers its own; a new page is one small handler.
void addPlatformPages(PlatformSim &sim);     // platformpages.cpp
void addUtilityPages(PlatformSim &sim);      // utilitypages.cpp
void addAccountPages(PlatformSim &sim);      // accountpages.cpp
void addRegistrationPages(PlatformSim &sim); // registrationpages.cpp
void addUpdatePages(PlatformSim &sim);       // updatepages.cpp
void addCataloguePages(PlatformSim &sim);    // cataloguepages.cpp
void addProductPages(PlatformSim &sim);      // productpages.cpp
void addMobinfoPages(PlatformSim &sim);      // mobinfopages.cpp
void addRechargePages(PlatformSim &sim);     // rechargepages.cpp
void addShopPages(PlatformSim &sim);         // shoppages.cpp
void addInventoryPages(PlatformSim &sim);    // inventorypages.cpp
void addToolPages(PlatformSim &sim);         // toolpages.cpp

// Text for a <title> or an attribute: the client reads titles back as text.
QString escapeHtml(const QString &text);

// The Taobao seller's nick, which the member page shows.
QString taobaoSellerNick();
// The demo shops' logins, one line per shop, for the person at the demo.
QString shopLoginsText();

// The bytes served at /download/agent-client, the default update address.
QByteArray updateFileContent();

} // namespace sim
