// What the mirror's and the saver's QtTests share: a simulated player found by the real
// service (inside a private network namespace), the service's word on whether a display is
// monitored, and pictures for docs/.
#pragma once

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include <QApplication>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include "automation/automation_client.h"
#include "display/player_list.h"
#include "display/service_calls.h"
#include "tools/sim/sim_test_support.h"
#include "ui/testdata/test_page.h"

namespace velk::testing {

// Whether some client monitors the player's display, as the service says.
inline bool Monitored(const QString& udn)
{
    std::shared_ptr<AutomationClient> client;
    DispatchablePtr devices;
    DispatchablePtr player;
    DispatchablePtr session;
    Variant on;
    bool monitored = false;
    return SUCCEEDED(ConnectToService("", client)) &&
           SUCCEEDED(GetObject(client->Root(), "VelkDevices", devices)) &&
           SUCCEEDED(GetObject(devices, "Item", player, {Variant(udn.toStdString())},
                               MemberKind::Method)) &&
           SUCCEEDED(GetObject(player, "RCPSession", session)) &&
           SUCCEEDED(CallMember(session, "MonitorDisplay", MemberKind::PropertyGet, {}, on)) &&
           SUCCEEDED(on.ToBool(monitored)) && monitored;
}

// The players the service on this computer lists; none without it.
inline std::vector<PlayerEntry> ServicePlayers()
{
    std::shared_ptr<AutomationClient> client;
    std::vector<PlayerEntry> players;
    if (SUCCEEDED(ConnectToService("", client)))
        ListPlayers(client->Root(), players);
    return players;
}

using velk::test::Picture;
using velk::test::WhenShown;

// One simulated player and the real service (the program $VELK_MIRROR_SERVICE names) with a
// scratch registry; only inside a private network namespace, where the service finds the
// player over UPnP.
class ServiceWithPlayer {
public:
    static bool Available() { return !qEnvironmentVariableIsEmpty("VELK_MIRROR_SERVICE"); }

    explicit ServiceWithPlayer(const char* display_type = "Small VFD")
        : sim_({"--display", display_type})
    {
        qputenv("VELK_REGISTRY_DIR", registry_.path().toUtf8());
        qunsetenv("VELK_DISCOVERY");
        velk_.start(qEnvironmentVariable("VELK_MIRROR_SERVICE"), {});
        const auto players = sim_.Control("players");
        if (players.size() == 1) {
            const QStringList fields = QString::fromStdString(players[0]).split('\t');
            name_ = fields.value(1);
            udn_ = fields.value(5);
        }
    }
    ~ServiceWithPlayer()
    {
        velk_.terminate();
        velk_.waitForFinished();
    }

    bool started() const { return sim_.ready() && !udn_.isEmpty() && velk_.waitForStarted(); }
    sim::testing::SimProcess& sim() { return sim_; }
    const QString& name() const { return name_; }
    const QString& udn() const { return udn_; }
    QString registry() const { return registry_.path(); }

private:
    QTemporaryDir registry_;
    sim::testing::SimProcess sim_;
    mutable QProcess velk_;
    QString name_;
    QString udn_;
};

} // namespace velk::testing
