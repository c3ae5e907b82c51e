// The web identities of a test phone: login names "admin", "var" and "user"
// for the three identities, and "guest", who is in the password file but has
// no identity. Each one's password is its name. Needs a TestRoot.
#pragma once

// Writes the names and "AdvancedVarEnabled" to the configuration and the
// four users to "/config/data/htpasswd"; "ReLogOffTime" is left empty.
void SeedWebUsers(bool varEnabled = false);
