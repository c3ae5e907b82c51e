// Passwords at rest: the reversible encryption the phone keeps account
// passwords in while the phone lock is on, and the cleaning of a copied
// configuration tree before it leaves the phone.
#pragma once

// Encrypts plain text into "ENC1:" + base64(IV + AES-256-CBC ciphertext).
// Returns the length written into out (size bytes, terminated), or -1 when
// an argument is null or the result does not fit.
int pw_data_encrypt(const char* plain, char* out, int size);
// Reverses pw_data_encrypt. A text that is not an encrypted one, or whose
// ciphertext does not decrypt, gives -1 and an empty out.
int pw_data_decrypt(const char* text, char* out, int size);

// Blanks every secret value (settings named "...Password", "...Pwd",
// "...PIN", "...AESKey...", "...Secret") in the "name=value" files of the
// copied tree `staged` and removes its password files ("htpasswd"), so an
// export made from it carries no secret. `live` is the tree the copy was
// made from; it is never touched, and a staged path that is (or lies in) the
// live tree is refused. Both are phone paths. 0 on success, -1 on failure.
int configParser_CleanPassword(const char* staged, const char* live);

// Whether a setting name (a field, or "<field>.<account>") holds a secret.
bool configParser_IsSecretSetting(const char* name);
