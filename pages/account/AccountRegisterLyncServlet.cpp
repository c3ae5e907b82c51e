#include "pages/account/AccountRegisterLyncServlet.h"

#include "frame/frame.h"
#include "pages/account/AccountCommon.h"

int AccountRegisterLyncServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<AccountRegisterLyncServlet> kActions[] = {
        {"load", &AccountRegisterLyncServlet::loadConfig},
        {"write", &AccountRegisterLyncServlet::writeConfig},
        {"askstatus", &AccountRegisterLyncServlet::askStatus},
    };
    return DispatchPageAction(this, request, response, kActions);
}

int AccountRegisterLyncServlet::loadConfig(HttpRequest*, HttpResponse*)
{
    return 1;
}

int AccountRegisterLyncServlet::writeConfig(HttpRequest*, HttpResponse*)
{
    return 1;
}

int AccountRegisterLyncServlet::askStatus(HttpRequest* request, HttpResponse* response)
{
    return AnswerAccountStatus(request, response, "AccountRegisterServlet::askStatus() para error");
}

HttpServlet* createAccountRegisterLyncServlet()
{
    return new AccountRegisterLyncServlet;
}
