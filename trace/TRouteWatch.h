// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <vector>

// Which addresses answer at each hop now, as opposed to over the whole trace. An address joins
// a hop's set with its first answer there. It leaves once it has been silent, while others
// answered at that hop, for more rounds than its share of the hop's last 20 answers (as it
// stood at its own last answer) makes likely, a chance under 1 in 10,000, and for at least 3
// rounds: a load-balanced address that answers one probe in two stays, one that the route
// left goes within a few rounds.
class TRouteWatch {
public:
    static constexpr uint32_t MinSilentRounds = 3;
    static constexpr double Chance = 1e-4;
    static constexpr std::size_t ShareOf = 20;

    // A hop whose set changed after it had answered: the route changed there.
    struct TChange {
        int Hop = 0;
        QStringList Before;
        QStringList After;
    };

    // One answer from AFrom at AHop to a probe of round ARound.
    std::optional<TChange> Add(int AHop, uint32_t ARound, const QString& AFrom);
    // In the order they first answered.
    QStringList Current(int AHop) const;
    void Clear() { FHops.clear(); }

private:
    struct TSeen {
        QString Address;
        uint32_t LastRound = 0;
        double Share = 1; // of the hop's recent answers, at its last answer
        bool Current = true;
    };
    struct THop {
        std::vector<TSeen> Seen;
        std::deque<QString> Recent; // the last ShareOf answers' addresses
    };

    static QStringList CurrentOf(const THop& AHop);
    static bool Gone(const TSeen& ASeen, uint32_t ARound);

    std::map<int, THop> FHops;
};
