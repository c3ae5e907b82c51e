// Boot environment, phone model, logging and external commands.
#pragma once

#include <string>
#include <vector>

// Boot environment, kept in "/config/system/userenv" (one name=value a line).
// userenv_get copies the value (cut to size - 1) and returns 0, or -1 with an
// empty buffer when the name is unset. userenv_set returns 0 on success.
int userenv_get(const char* name, char* buffer, int size);
int userenv_set(const char* name, const char* value);

// The phone model number, from "/config/system/phonetype" (default 46).
int GetPhoneType();

// log_log(2, level, format, ...): level 3 failure, 4 refused input, 6
// progress. Goes to syslog, and to stderr when PHONEWEB_LOG_STDERR is set.
void log_log(int module, int level, const char* format, ...) __attribute__((format(printf, 3, 4)));

// Test hook: when set, every log line is also handed to the sink.
typedef void (*LogSink)(int module, int level, const char* line);
void log_set_sink(LogSink sink);

class WebDebug {
public:
    static WebDebug* getInstance();
    // 0 quiet, 1 normal, 2 verbose.
    void setDebugLevel(int level);
    int getDebugLevel() const { return level_; }
    void setUser(const char* name);
    const std::string& getUser() const { return user_; }
    void info(const char* format, ...) __attribute__((format(printf, 2, 3)));

private:
    int level_ = 1;
    std::string user_;
};

// Runs a fixed shell command text (never one that carries client text);
// returns 1, or 0 for a null command.
int CommandShell(const char* command);
// Runs a program from an argument vector, without a shell, and waits.
// Returns its exit status, or -1 when it could not be started.
int RunCommand(const std::vector<std::string>& argv);

// The hardware version text (overridable by "/config/system/hardware").
std::string str_dev_get_hardware_version();
