// What the account pages share: the menu group, the account's INI file, the
// account index of a request and the registration state of an account.
#pragma once

#include <string>

#include "frame/http.h"

// The account pages form one menu group; each page lists itself first.
extern const char* const kAccountMenuRegister[4];
extern const char* const kAccountMenuBasic[4];
extern const char* const kAccountMenuAdv[4];
extern const char* const kAccountMenuCodec[4];

constexpr char kAccountIniDir[] = "/config/user/voip/";
// The phone path of an account's INI file. Built from the number alone, so
// no posted text ever becomes part of the path.
std::string AccountIniFile(int account);

// The account of a load ("acc"). A missing field logs "get accountID is
// null"; a field that is not an account of this phone prints "no such
// account!" and logs "get accountID is illegal". False when refused.
bool GetLoadAccount(HttpRequest* request, HttpResponse* response, int& account);

// The account of a write ("var_accountID"). A missing field logs
// missingLog, a field that is not an account of this phone invalidLog (and,
// with printRefusal, answers "no such account!"). False when refused.
bool GetWriteAccount(HttpRequest* request, HttpResponse* response, int& account,
                     const char* missingLog, const char* invalidLog, bool printRefusal);

// The phone's registration state of an account (0x30006); 0 when the phone
// does not answer within 3 s. The host serves one request at a time and the
// registration page asks every few seconds, so no question may wait longer.
int AskAccountState(int account);

// The "askstatus" action of both registration pages: prints the state of the
// account "acc" ("0" without asking the phone when the account is disabled).
// A missing or invalid "acc" logs paramLog and answers nothing.
int AnswerAccountStatus(HttpRequest* request, HttpResponse* response, const char* paramLog);

// Broadcasts that the settings of an account changed (0x10007, 3).
void BroadcastAccountChanged(int account);
