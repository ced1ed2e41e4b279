#include "service_test_util.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

const char kExampleOrderXml[] =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?><msg no=\"1001\" ver=\"\"><t1><![CDATA[A-17]]></t1><t2>5</t2>"
    "<t3>1.250000000000000e+000</t3><t4>true</t4><t5>20240131</t5><t6><t1><![CDATA[X1]]></t1><t2>2</t2></t6><t6>"
    "<t1><![CDATA[X2]]></t1></t6><t7><![CDATA[a]]></t7><t7><![CDATA[b]]></t7></msg>";

CMsg* NewExampleOrder() {
    CMsg* order = MA_NewMsg(1001);
    order->SetValue(1, "A-17");
    order->SetValue(2, 5);
    order->SetValue(3, 1.25);
    order->SetValue(4, true);
    order->SetValue(5, CDate(20240131));
    CMsg* line1 = new CMsg(2001, 1001, 6);
    line1->SetValue(1, "X1");
    line1->SetValue(2, 2);
    order->SetValue(6, line1);
    CMsg* line2 = new CMsg(2001, 1001, 6);
    line2->SetValue(1, "X2");
    order->SetValue(6, line2);
    order->SetValue(7, "a");
    order->SetValue(7, "b");
    return order;
}

std::string EchoAnswer(const std::string& request) { return AnswerPacket(RequestBody(request)); }

int ClosedPort() {
    int sock = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    socklen_t len = sizeof(addr);
    getsockname(sock, reinterpret_cast<sockaddr*>(&addr), &len);
    close(sock);
    return ntohs(addr.sin_port);
}
