// Action URI: a remote host drives the phone with plain HTTP requests whose
// query ("/servlet?<query>") is a command ("key=OK", "number=123", ...)
// rather than a page. The request filter classifies the query with
// getURIType, authenticates it and hands it to proccessActionURI, which
// checks the client address, logs the command to the system log and passes
// it to the phone process (or answers it itself: configuration export,
// screenshot).
#pragma once

#include <cstddef>
#include <string>

class HttpRequest;
class HttpResponse;

// Room for a command type word and its end.
constexpr size_t kURITypeSize = 64;
// The longest command text handed to the phone process, "&RIP=<address>"
// included. Longer commands are refused, never cut: a cut number or URL
// would make the phone act on something the sender did not ask for.
constexpr size_t kActionCommandMax = 1023;
// The longest rebuilt "name=value" item; a longer one refuses the command.
constexpr size_t kActionItemMax = 127;
// Items taken from the query when a command is rebuilt.
constexpr int kPhonecfgItemLimit = 9;
constexpr int kRebuildItemLimit = 10;
// The longest system-log line.
constexpr size_t kActionSyslogMax = 510;

// Writes the command type of the query ("key", "number", "phonecfg",
// "redirectcall", "forward", "Server", "command", "csta": the first of these
// the query begins with as a whole word, case-sensitively, followed by "=",
// "&" or nothing) or "" into typeOut, which holds
// kURITypeSize bytes, and returns typeOut. A null query gives "".
char* getURIType(const char* query, char* typeOut);

// 1 when "AURILimitIP" trusts the client address, else 0. The setting is
// "any" (any letter case) or a comma-separated list of IPv4 patterns in
// which "*" stands for one group of 1 to 3 digits. An entry holding anything
// but digits, "." and "*" (blanks included) matches nothing.
int IsTrustIP(const char* address);
// The pure check behind IsTrustIP: 1 when one list entry matches the whole
// address, 0 when not (or when the entry is refused), -1 when the
// expression could not be built or run.
int MatchTrustPattern(const char* pattern, const char* address);

// Carries out one command; query is the request text after "/servlet?"
// (anything from "&@" on, the URL credentials, is never part of it).
// Returns 1 when the command was handed on or answered, 0 on refusal or
// failure (the response then carries the status: 401 untrusted client, 404
// no type, 400 an overlong command, 500 the phone side failed).
int proccessActionURI(HttpRequest* request, HttpResponse* response, const char* type,
                      const char* query);

// Rebuilds a command from the query's "name=value" items, "&"-separated:
// at most the first `limit` items are looked at, items without "=" are
// skipped. False (and text left empty) when a used item is longer than
// kActionItemMax.
bool RebuildActionItems(const char* query, int limit, std::string& text);

// Appends "&RIP=" and the address. Returns 1, or 0 (text unchanged) for a
// null argument or when the result would not fit into size - 1 characters.
int AddIPtoURI(char* text, size_t size, const char* address);

// The line ActionURISyslog sends: "Action URI: IP(<address>) Action(<action>)"
// cut to kActionSyslogMax characters; "" when "ServerLogLevel" is 2 or less
// (nothing is logged then).
std::string ActionURISyslogLine(const char* action, const char* address);
// Sends that line to the system log at priority info, as literal text.
void ActionURISyslog(const char* action, const char* address);
