#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Under en_US.UTF-8 no word of the window's Italian reaches the user: every
page, the tray's exported menu, the history's question box, the notification
of an outage and --help. The log is not looked at: it keeps its own words."""

import os
import re
import subprocess

import monitor_helpers as mh
import tray_helpers as th
import zirko_e2e as e2e

ENGLISH = {"LANG": "en_US.UTF-8", "LC_ALL": "en_US.UTF-8", "LANGUAGE": "en_US"}
ITALIAN = re.compile(r"\b(" + "|".join((
    "Allarme", "Cancella", "cronologia", "Interruzioni", "Esegui", "Nascondi", "Ripristina",
    "Chiudi", "Grafico", "Bersagli", "Continuo", "Intervallo", "Rapporto", "Esporta",
    "Persi", "Mediana", "Giù", "Salva", "Ferma", "Avvia", "Aggiungi", "Rimuovi", "Indirizzo",
    "Limite", "minuti", "risponde", "Tempi", "Pacchetti", "Attenzione", "Mostra", "Annulla",
    "vivo", "Tutto", "Stato", "Salto", "Giudizio", "Percorso", "Durata", "Inizio", "Ogni",
    "Filtro", "Ultimo", "Perdita", "giorni", "ore", "Sì", "Servono", "giri", "Da")) + r")\b",
    re.IGNORECASE)


def texts(node, into):
    for value in (node.name, node.description):
        if value:
            into.append(value)
    try:
        into.append(e2e.text_of(node))
    except Exception:
        pass  # no Text interface
    for index in range(min(node.childCount, 500)):
        texts(node.getChildAtIndex(index), into)
    return into


def assert_english(where, found):
    words = sorted({m.group(0) for text in found for m in ITALIAN.finditer(text)})
    assert not words, "%s shows %s in %r" % (where, words, found)


def test(binary):
    e2e.require(os.geteuid() == 0, "needs root for raw ICMP sockets and namespaces")
    with mh.SilentHost() as host, e2e.Desktop(tray=False) as desktop, \
            th.StatusNotifierHost(desktop) as panel, th.NotificationService(desktop) as service:
        help_text = subprocess.run([binary, "--help"], env=dict(desktop.env, **ENGLISH),
                                   capture_output=True, text=True, timeout=10, check=True)
        assert_english("--help", [help_text.stdout])
        folder = os.path.join(desktop.workdir, "run")
        os.mkdir(folder)
        zirko = desktop.start_zirko(folder, binary, extra_env=ENGLISH)
        zirko.main_window()
        app = desktop.application(zirko)
        for tab in ("Graph", "Ping", "Traceroute", "Targets"):
            e2e.press(desktop.find(app, "page tab", tab))
            assert_english(tab, texts(app, []))

        assert_english("the tray menu", [label for _, label, _ in panel.item().menu_entries()])

        e2e.press(desktop.find(app, "page tab", "Graph"))
        e2e.press(desktop.find(app, "push button", "Clear history…"))
        box = desktop.find(app, "alert")
        assert_english("the question box", texts(box, []))
        e2e.press(desktop.find(box, "push button", "No"))

        e2e.press(desktop.find(app, "page tab", "Ping"))
        app, page = mh.ping_page(desktop, zirko, mh.PING_PAGE_EN)
        page["alarm_after"].queryValue().currentValue = 1
        mh.set_text(page["host"], host.address)
        e2e.press(desktop.find(app, "push button", "Auto"))
        raised = service.wait_calls(1, 20, alive=zirko.popen)[0]
        assert raised["summary"] == "Zirko: %s does not answer" % host.address, raised
        assert_english("the notification", [raised["summary"], raised["body"]] +
                       raised["actions"][1::2])
        assert_english("the running Ping page", texts(app, []))

        desktop.run(["wmctrl", "-F", "-c", "Zirko"])
        assert zirko.wait_exit(15) == 0


if __name__ == "__main__":
    e2e.run_test(test)
