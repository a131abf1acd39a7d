#pragma once

#include "platform/system/PrivateFolder.h"

namespace flowtally {

// Where Flowtally keeps its runtime files (the SNMP community's file, the
// lock and socket of the single instance): a folder of this user's alone,
// held open (PrivateFolder.h). That is the runtime folder the session names
// (Environment::runtimeFolder) where it is private; else Flowtally's own
// (Environment::ownRuntimeFolder) below the user's cache folder, where no
// other user can make a folder or a link first, as anyone can with a fixed
// name in the shared temporary folder. Taking the own folder is logged once
// each time the choice comes to it. Fails with both reasons where neither
// folder can be had. Safe on any thread.
Status openRuntimeFolder(PrivateFolder *folder);

} // namespace flowtally
