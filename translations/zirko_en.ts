<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="it">
<context>
    <name>OutageText</name>
    <message>
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>%1 ± %2</source>
        <translation>%1 ± %2</translation>
    </message>
    <message>
        <source>almeno %1</source>
        <translation>at least %1</translation>
    </message>
    <message>
        <source>%1 (fine sconosciuta)</source>
        <translation>%1 (end unknown)</translation>
    </message>
    <message>
        <source>Zirko: %1 non risponde</source>
        <translation>Zirko: %1 does not answer</translation>
    </message>
    <message>
        <source>Da %1, %2 ping perso</source>
        <translation>For %1, %2 ping lost</translation>
    </message>
    <message>
        <source>Da %1, %2 ping persi</source>
        <translation>For %1, %2 pings lost</translation>
    </message>
    <message>
        <source>%1 risponde di nuovo dopo %2</source>
        <translation>%1 answers again after %2</translation>
    </message>
    <message>
        <source>%1: monitoraggio sospeso durante il rallentamento</source>
        <translation>%1: watching paused during the slow period</translation>
    </message>
    <message>
        <source>%1: monitoraggio sospeso durante l&apos;interruzione</source>
        <translation>%1: watching paused during the outage</translation>
    </message>
    <message>
        <source>Zirko: %1 risponde lentamente</source>
        <translation>Zirko: %1 answers slowly</translation>
    </message>
    <message>
        <source>Da %1 la media supera il limite</source>
        <translation>For %1 the average has been over the limit</translation>
    </message>
    <message>
        <source>%1 risponde di nuovo nel limite dopo %2</source>
        <translation>%1 answers within the limit again after %2</translation>
    </message>
    <message>
        <source>lento</source>
        <translation>slow</translation>
    </message>
    <message>
        <source>non risponde</source>
        <translation>not answering</translation>
    </message>
    <message>
        <source>%1 min %2 s</source>
        <translation>%1 min %2 s</translation>
    </message>
    <message>
        <source>%1 h %2 min</source>
        <translation>%1 h %2 min</translation>
    </message>
    <message>
        <source>%1 g %2 h</source>
        <translation>%1 d %2 h</translation>
    </message>
</context>
<context>
    <name>TAgente</name>
    <message>
        <source>AGENTE: impossibile creare file di log !</source>
        <translation>Log: cannot create the log file!</translation>
    </message>
    <message>
        <source>AGENTE: impossibile fare lo start-up del file di log !</source>
        <translation>Log: cannot start the log file!</translation>
    </message>
    <message>
        <source>AGENTE: impossibile aggiornare il file di log !</source>
        <translation>Log: cannot write to the log file!</translation>
    </message>
    <message>
        <source>AGENTE: impossibile fare lo shut-down del file di log !</source>
        <translation>Log: cannot close the log file!</translation>
    </message>
</context>
<context>
    <name>TContinuousTraceView</name>
    <message>
        <source>Traccia continua</source>
        <translation>Continuous trace</translation>
    </message>
    <message>
        <source>in millisecondi</source>
        <translation>in milliseconds</translation>
    </message>
    <message>
        <source>Giudizio</source>
        <translation>Verdict</translation>
    </message>
    <message>
        <source>Impossibile esportare il CSV %1: %2</source>
        <translation>Cannot export the CSV %1: %2</translation>
    </message>
    <message>
        <source>zirko-traccia-%1.csv</source>
        <translation>zirko-trace-%1.csv</translation>
    </message>
    <message>
        <source>Esporta CSV</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>File CSV (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
</context>
<context>
    <name>TCsvExport</name>
    <message>
        <source>Immagini PNG (*.png)</source>
        <translation>PNG images (*.png)</translation>
    </message>
    <message>
        <source>File CSV (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
</context>
<context>
    <name>TDesktopNotifier</name>
    <message>
        <source>Mostra</source>
        <translation>Show</translation>
    </message>
</context>
<context>
    <name>TF_Main</name>
    <message>
        <source>Grafico</source>
        <translation>Graph</translation>
    </message>
    <message>
        <source>Ping</source>
        <translation>Ping</translation>
    </message>
    <message>
        <source>Log ping</source>
        <translation>Ping log</translation>
    </message>
    <message>
        <source>Indirizzo/host:</source>
        <translation>Address/host:</translation>
    </message>
    <message>
        <source>5 Ping</source>
        <translation>5 Pings</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>Clear log</source>
        <translation>Clear log</translation>
    </message>
    <message>
        <source>Esegui per minuti:</source>
        <translation>Run for minutes:</translation>
    </message>
    <message>
        <source>Ogni minuti:</source>
        <translation>Every minutes:</translation>
    </message>
    <message>
        <source>Limite ms media:</source>
        <translation>Average limit ms:</translation>
    </message>
    <message>
        <source>Allarme dopo:</source>
        <translation>Alarm after:</translation>
    </message>
    <message>
        <source>Attenzione parcchetti persi !!!</source>
        <translation>Warning: packets lost!!!</translation>
    </message>
    <message>
        <source>Tempi medi di risposta:</source>
        <translation>Average response times:</translation>
    </message>
    <message>
        <source>N. ping:</source>
        <translation>Pings:</translation>
    </message>
    <message>
        <source>Tot. time:</source>
        <translation>Total time:</translation>
    </message>
    <message>
        <source>Pacchetti persi:</source>
        <translation>Packets lost:</translation>
    </message>
    <message>
        <source>% persi:</source>
        <translation>% lost:</translation>
    </message>
    <message>
        <source>Traceroute</source>
        <translation>Traceroute</translation>
    </message>
    <message>
        <source>Max number of hops:</source>
        <translation>Max number of hops:</translation>
    </message>
    <message>
        <source>Esegui</source>
        <translation>Run</translation>
    </message>
    <message>
        <source>Continuo</source>
        <translation>Continuous</translation>
    </message>
    <message>
        <source>Esporta CSV…</source>
        <translation>Export CSV…</translation>
    </message>
    <message>
        <source>Esporta CSV della traccia</source>
        <translation>Export the trace&apos;s CSV</translation>
    </message>
    <message>
        <source>Traceroute hops</source>
        <translation>Traceroute hops</translation>
    </message>
    <message>
        <source>Hop #</source>
        <translation>Hop #</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP</translation>
    </message>
    <message>
        <source>Note</source>
        <translation>Notes</translation>
    </message>
    <message>
        <source>Traceroute log</source>
        <translation>Traceroute log</translation>
    </message>
    <message>
        <source>Nascondi</source>
        <translation>Hide</translation>
    </message>
    <message>
        <source>Ripristina</source>
        <translation>Restore</translation>
    </message>
    <message>
        <source>Chiudi</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Bersagli</source>
        <translation>Targets</translation>
    </message>
    <message>
        <source>Giù: %1</source>
        <translation>Down: %1</translation>
    </message>
</context>
<context>
    <name>TGraphHistory</name>
    <message>
        <source> Si vedono solo i ping di questa sessione.</source>
        <translation> Only the pings of this session are shown.</translation>
    </message>
    <message>
        <source>Cronologia non salvata: il file non è aperto.</source>
        <translation>History not saved: the file is not open.</translation>
    </message>
    <message>
        <source>Cronologia non salvata: il file è in uso da un altro programma o da un&apos;altra copia di Zirko.</source>
        <translation>History not saved: the file is in use by another program or another copy of Zirko.</translation>
    </message>
    <message>
        <source>Cronologia non salvata: il file o la sua cartella non si possono scrivere.</source>
        <translation>History not saved: the file or its folder cannot be written.</translation>
    </message>
    <message>
        <source>Cronologia non salvata: il disco è pieno.</source>
        <translation>History not saved: the disk is full.</translation>
    </message>
    <message>
        <source>Cronologia non salvata: il file è danneggiato.</source>
        <translation>History not saved: the file is damaged.</translation>
    </message>
    <message>
        <source>Cronologia non salvata: il file è di una versione più recente di Zirko.</source>
        <translation>History not saved: the file is from a newer version of Zirko.</translation>
    </message>
    <message>
        <source>Cronologia non salvata: errore di lettura o scrittura del file.</source>
        <translation>History not saved: error reading or writing the file.</translation>
    </message>
    <message>
        <source>Il file della cronologia era danneggiato: è stato messo da parte come %1 e ne è iniziato uno nuovo.</source>
        <translation>The history file was damaged: it was set aside as %1 and a new one was started.</translation>
    </message>
</context>
<context>
    <name>TGraphPage</name>
    <message>
        <source>Intervallo:</source>
        <translation>Range:</translation>
    </message>
    <message>
        <source>10 minuti</source>
        <translation>10 minutes</translation>
    </message>
    <message>
        <source>1 ora</source>
        <translation>1 hour</translation>
    </message>
    <message>
        <source>24 ore</source>
        <translation>24 hours</translation>
    </message>
    <message>
        <source>7 giorni</source>
        <translation>7 days</translation>
    </message>
    <message>
        <source>30 giorni</source>
        <translation>30 days</translation>
    </message>
    <message>
        <source>Tutto</source>
        <translation>All</translation>
    </message>
    <message>
        <source>Dal vivo</source>
        <translation>Live</translation>
    </message>
    <message>
        <source>Segue i nuovi ping. Rotellina: ingrandisce; trascinare: sposta; doppio clic: torna al vivo.</source>
        <translation>Follows new pings. Wheel: zooms; drag: moves; double click: back to live.</translation>
    </message>
    <message>
        <source>Salva immagine…</source>
        <translation>Save image…</translation>
    </message>
    <message>
        <source>Esporta CSV…</source>
        <translation>Export CSV…</translation>
    </message>
    <message>
        <source>Rapporto…</source>
        <translation>Report…</translation>
    </message>
    <message>
        <source>Cancella cronologia…</source>
        <translation>Clear history…</translation>
    </message>
    <message>
        <source>Min</source>
        <translation>Min</translation>
    </message>
    <message>
        <source>Media</source>
        <translation>Average</translation>
    </message>
    <message>
        <source>Max</source>
        <translation>Max</translation>
    </message>
    <message>
        <source>Jitter</source>
        <translation>Jitter</translation>
    </message>
    <message>
        <source>Mediana</source>
        <translation>Median</translation>
    </message>
    <message>
        <source>95° perc.</source>
        <translation>95th perc.</translation>
    </message>
    <message>
        <source>Dev. std.</source>
        <translation>Std. dev.</translation>
    </message>
    <message>
        <source>Persi</source>
        <translation>Lost</translation>
    </message>
    <message>
        <source>, interruzioni %1</source>
        <translation>, outages %1</translation>
    </message>
    <message>
        <source>Cancellare tutta la cronologia dei ping? Non si potrà recuperare.</source>
        <translation>Clear the whole ping history? It cannot be recovered.</translation>
    </message>
    <message>
        <source>Impossibile salvare l&apos;immagine %1: %2</source>
        <translation>Cannot save the image %1: %2</translation>
    </message>
    <message>
        <source>Impossibile esportare il CSV %1: %2</source>
        <translation>Cannot export the CSV %1: %2</translation>
    </message>
    <message>
        <source>Salva immagine</source>
        <translation>Save image</translation>
    </message>
    <message>
        <source>Esporta CSV</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>nessun ping nella cronologia per questo intervallo.</source>
        <translation>no ping in the history for this range.</translation>
    </message>
    <message>
        <source>la cronologia non è aperta.</source>
        <translation>the history is not open.</translation>
    </message>
    <message>
        <source>Impossibile scrivere il rapporto %1: %2</source>
        <translation>Cannot write the report %1: %2</translation>
    </message>
    <message>
        <source>Rapporto</source>
        <translation>Report</translation>
    </message>
    <message>
        <source>zirko-grafico</source>
        <translation>zirko-graph</translation>
    </message>
</context>
<context>
    <name>TGraphReport</name>
    <message>
        <source>nessun ping di %1 nella cronologia per questo intervallo.</source>
        <translation>no ping of %1 in the history for this range.</translation>
    </message>
</context>
<context>
    <name>TGraphTargets</name>
    <message>
        <source>Bersaglio:</source>
        <translation>Target:</translation>
    </message>
    <message>
        <source>Sovrapponi</source>
        <translation>Overlay</translation>
    </message>
    <message>
        <source>Bersagli disegnati sopra, ciascuno nel suo colore: gli ultimi dieci minuti.</source>
        <translation>Targets drawn over the plot, each in its own colour: the last ten minutes.</translation>
    </message>
    <message>
        <source>Pagina Ping</source>
        <translation>Ping page</translation>
    </message>
</context>
<context>
    <name>THeadlessTargets</name>
    <message>
        <source>zirko: %1 read again: %2 kept, %3 added, %4 removed</source>
        <translation>zirko: %1 read again: %2 kept, %3 added, %4 removed</translation>
    </message>
</context>
<context>
    <name>THopRow</name>
    <message>
        <source>Timed out.</source>
        <translation>Timed out.</translation>
    </message>
    <message>
        <source>Destination network unreachable</source>
        <translation>Destination network unreachable</translation>
    </message>
    <message>
        <source>Unknown error.</source>
        <translation>Unknown error.</translation>
    </message>
    <message>
        <source>Reached (%1) in : %2 ms</source>
        <translation>Reached (%1) in : %2 ms</translation>
    </message>
    <message>
        <source>(%1)TTL=%2</source>
        <translation>(%1)TTL=%2</translation>
    </message>
</context>
<context>
    <name>TLatencyView</name>
    <message>
        <source>Grafico tempi di risposta</source>
        <translation>Response time graph</translation>
    </message>
    <message>
        <source>Tempo di risposta (ms)</source>
        <translation>Response time (ms)</translation>
    </message>
    <message>
        <source>Limite ms media</source>
        <translation>Average limit ms</translation>
    </message>
    <message>
        <source>Persi</source>
        <translation>Lost</translation>
    </message>
</context>
<context>
    <name>TMetricsFeed</name>
    <message>
        <source>no ADDRESS:PORT: %1</source>
        <translation>no ADDRESS:PORT: %1</translation>
    </message>
    <message>
        <source>the metrics module %1 could not be loaded (%2)</source>
        <translation>the metrics module %1 could not be loaded (%2)</translation>
    </message>
</context>
<context>
    <name>TMetricsServer</name>
    <message>
        <source>cannot listen on %1: not an IP address</source>
        <translation>cannot listen on %1: not an IP address</translation>
    </message>
    <message>
        <source>cannot listen on %1: %2</source>
        <translation>cannot listen on %1: %2</translation>
    </message>
</context>
<context>
    <name>TOutagePanel</name>
    <message>
        <source>Interruzioni</source>
        <translation>Outages</translation>
    </message>
    <message>
        <source>Inizio</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Fine</source>
        <translation>End</translation>
    </message>
    <message>
        <source>Durata</source>
        <translation>Duration</translation>
    </message>
    <message>
        <source>Persi</source>
        <translation>Lost</translation>
    </message>
    <message>
        <source>Percorso</source>
        <translation>Path</translation>
    </message>
    <message>
        <source>Tipo</source>
        <translation>Kind</translation>
    </message>
    <message>
        <source>Esporta interruzioni…</source>
        <translation>Export outages…</translation>
    </message>
    <message>
        <source>Rapporto…</source>
        <translation>Report…</translation>
    </message>
    <message>
        <source>in corso</source>
        <translation>ongoing</translation>
    </message>
    <message>
        <source>sconosciuta</source>
        <translation>unknown</translation>
    </message>
    <message>
        <source>Impossibile esportare il CSV %1: %2</source>
        <translation>Cannot export the CSV %1: %2</translation>
    </message>
    <message>
        <source>Esporta interruzioni</source>
        <translation>Export outages</translation>
    </message>
    <message>
        <source>zirko-interruzioni</source>
        <translation>zirko-outages</translation>
    </message>
</context>
<context>
    <name>TPingMonitor</name>
    <message>
        <source>Ferma auto</source>
        <translation>Stop auto</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>Auto</translation>
    </message>
</context>
<context>
    <name>TRangeStatistics</name>
    <message>
        <source>n.d.</source>
        <translation>n/a</translation>
    </message>
    <message>
        <source>%1 ping, min %2, media %3, max %4, persi %5, mediana %6, 95° percentile %7, deviazione standard %8</source>
        <translation>%1 pings, min %2, average %3, max %4, lost %5, median %6, 95th percentile %7, standard deviation %8</translation>
    </message>
    <message>
        <source>%1 ms</source>
        <translation>%1 ms</translation>
    </message>
</context>
<context>
    <name>TReportPdf</name>
    <message>
        <source>ora locale %1, UTC%2%3:%4</source>
        <translation>local time %1, UTC%2%3:%4</translation>
    </message>
    <message>
        <source>Zirko – Rapporto di raggiungibilità</source>
        <translation>Zirko – Reachability report</translation>
    </message>
    <message>
        <source>Pagina %1</source>
        <translation>Page %1</translation>
    </message>
    <message>
        <source>non determinata</source>
        <translation>not determined</translation>
    </message>
    <message>
        <source> (interfaccia %1)</source>
        <translation> (interface %1)</translation>
    </message>
    <message>
        <source>Host: %1 (%2)</source>
        <translation>Host: %1 (%2)</translation>
    </message>
    <message>
        <source>Origine: %1</source>
        <translation>Source: %1</translation>
    </message>
    <message>
        <source>Intervallo: dal %1 al %2 (%3)</source>
        <translation>Range: from %1 to %2 (%3)</translation>
    </message>
    <message>
        <source>Creato il %1 da Zirko %2</source>
        <translation>Made on %1 by Zirko %2</translation>
    </message>
    <message>
        <source>Disponibilità</source>
        <translation>Availability</translation>
    </message>
    <message>
        <source>Disponibilità: %1 % del tempo monitorato (%2 su %3 monitorati), su %4 ping, %5 % persi.</source>
        <translation>Availability: %1 % of the watched time (%2 of %3 watched), over %4 pings, %5 % lost.</translation>
    </message>
    <message>
        <source>Disponibilità: non calcolabile, nessun tempo monitorato.</source>
        <translation>Availability: cannot be computed, no time watched.</translation>
    </message>
    <message>
        <source>Tempo non monitorato (in grigio nel grafico): %1 in %2 tratti, escluso dal calcolo.</source>
        <translation>Time not watched (grey in the plot): %1 in %2 stretches, left out of the computation.</translation>
    </message>
    <message>
        <source>Un&apos;interruzione conta dal punto medio del suo inizio al punto medio della sua fine; mediana e 95° percentile dagli aggregati al minuto.</source>
        <translation>An outage counts from the midpoint of its start to the midpoint of its end; median and 95th percentile from the per-minute aggregates.</translation>
    </message>
    <message>
        <source>Per ora</source>
        <translation>By hour</translation>
    </message>
    <message>
        <source>Per giorno</source>
        <translation>By day</translation>
    </message>
    <message>
        <source>Ora</source>
        <translation>Hour</translation>
    </message>
    <message>
        <source>Giorno</source>
        <translation>Day</translation>
    </message>
    <message>
        <source>Ping</source>
        <translation>Pings</translation>
    </message>
    <message>
        <source>Persi %</source>
        <translation>Lost %</translation>
    </message>
    <message>
        <source>Mediana ms</source>
        <translation>Median ms</translation>
    </message>
    <message>
        <source>95° perc. ms</source>
        <translation>95th perc. ms</translation>
    </message>
    <message>
        <source>Massimo ms</source>
        <translation>Maximum ms</translation>
    </message>
    <message>
        <source>ignoto</source>
        <translation>unknown</translation>
    </message>
    <message>
        <source>%1. Inizio %2 (ultima risposta: %3)</source>
        <translation>%1. Start %2 (last answer: %3)</translation>
    </message>
    <message>
        <source>in corso (ultimo ping perso %1)</source>
        <translation>ongoing (last lost ping %1)</translation>
    </message>
    <message>
        <source>tra %1 e %2%3</source>
        <translation>between %1 and %2%3</translation>
    </message>
    <message>
        <source> (fine sconosciuta)</source>
        <translation> (end unknown)</translation>
    </message>
    <message>
        <source>Fine %1</source>
        <translation>End %1</translation>
    </message>
    <message>
        <source>Durata %1, %2 ping persi</source>
        <translation>Duration %1, %2 pings lost</translation>
    </message>
    <message>
        <source>nessuna traccia registrata</source>
        <translation>no trace recorded</translation>
    </message>
    <message>
        <source>Percorso: %1</source>
        <translation>Path: %1</translation>
    </message>
    <message>
        <source>%1  %2  %3/%4 risposte%5</source>
        <translation>%1  %2  %3/%4 answers%5</translation>
    </message>
    <message>
        <source>, media %1 ms</source>
        <translation>, average %1 ms</translation>
    </message>
    <message>
        <source>%1. Lento dal %2 (ultima media nel limite: %3)</source>
        <translation>%1. Slow from %2 (last average within the limit: %3)</translation>
    </message>
    <message>
        <source>in corso (ultima media oltre il limite %1)</source>
        <translation>ongoing (last average over the limit %1)</translation>
    </message>
    <message>
        <source>tra %1 e %2</source>
        <translation>between %1 and %2</translation>
    </message>
    <message>
        <source>Rapporto %1</source>
        <translation>Report %1</translation>
    </message>
    <message>
        <source>il file non si può scrivere.</source>
        <translation>the file cannot be written.</translation>
    </message>
    <message>
        <source>Linea: mediana; fascia: minimo-massimo; segni rossi: ping persi; rosso chiaro: interruzioni; giallo chiaro: periodi lenti; grigio: non monitorato.</source>
        <translation>Line: median; band: minimum-maximum; red marks: lost pings; light red: outages; light yellow: slow periods; grey: not watched.</translation>
    </message>
    <message>
        <source>Interruzioni (%1)</source>
        <translation>Outages (%1)</translation>
    </message>
    <message>
        <source>Nessuna interruzione nell&apos;intervallo.</source>
        <translation>No outage in the range.</translation>
    </message>
    <message>
        <source>Periodi lenti (%1)</source>
        <translation>Slow periods (%1)</translation>
    </message>
    <message>
        <source>Nessun periodo lento nell&apos;intervallo.</source>
        <translation>No slow period in the range.</translation>
    </message>
    <message>
        <source>dd/MM/yyyy HH:mm:ss</source>
        <translation>yyyy-MM-dd HH:mm:ss</translation>
    </message>
    <message>
        <source>it_IT</source>
        <extracomment>The locale whose decimal separator the report&apos;s numbers use.</extracomment>
        <translation>en_US</translation>
    </message>
    <message>
        <source>dd/MM/yyyy HH:mm</source>
        <translation>yyyy-MM-dd HH:mm</translation>
    </message>
    <message>
        <source>dd/MM/yyyy HH:00</source>
        <translation>yyyy-MM-dd HH:00</translation>
    </message>
    <message>
        <source>dd/MM/yyyy</source>
        <translation>yyyy-MM-dd</translation>
    </message>
</context>
<context>
    <name>TTargetDialog</name>
    <message>
        <source>Host</source>
        <translation>Host</translation>
    </message>
    <message>
        <source>Nome</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Gruppo</source>
        <translation>Group</translation>
    </message>
    <message>
        <source>Intervallo</source>
        <translation>Interval</translation>
    </message>
    <message>
        <source>Allarme dopo persi</source>
        <translation>Alarm after lost</translation>
    </message>
    <message>
        <source>Limite media ms</source>
        <translation>Average limit ms</translation>
    </message>
    <message>
        <source>Motivo</source>
        <translation>Reason</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Annulla</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>TTargetsPage</name>
    <message>
        <source>risponde</source>
        <translation>answering</translation>
    </message>
    <message>
        <source>lento</source>
        <translation>slow</translation>
    </message>
    <message>
        <source>giù</source>
        <translation>down</translation>
    </message>
    <message>
        <source>non osservato</source>
        <translation>not watched</translation>
    </message>
    <message>
        <source>Filtro</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>Aggiungi…</source>
        <translation>Add…</translation>
    </message>
    <message>
        <source>Modifica…</source>
        <translation>Edit…</translation>
    </message>
    <message>
        <source>Rimuovi</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>Avvia</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Ferma</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Avvia tutti</source>
        <translation>Start all</translation>
    </message>
    <message>
        <source>Ferma tutti</source>
        <translation>Stop all</translation>
    </message>
    <message>
        <source>Importa…</source>
        <translation>Import…</translation>
    </message>
    <message>
        <source>Esporta…</source>
        <translation>Export…</translation>
    </message>
    <message>
        <source>Problema del file</source>
        <translation>The file&apos;s problem</translation>
    </message>
    <message>
        <source>Bersagli</source>
        <translation>Targets</translation>
    </message>
    <message>
        <source>Stato</source>
        <translation>State</translation>
    </message>
    <message>
        <source>Nome</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Indirizzo</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>Ultimo</source>
        <translation>Last</translation>
    </message>
    <message>
        <source>Media</source>
        <translation>Average</translation>
    </message>
    <message>
        <source>Perdita %</source>
        <translation>Loss %</translation>
    </message>
    <message>
        <source>Ultimi 10 minuti</source>
        <translation>Last 10 minutes</translation>
    </message>
    <message>
        <source>Giù da</source>
        <translation>Down since</translation>
    </message>
    <message>
        <source>Il file dei bersagli non si può usare: %1</source>
        <translation>The targets file cannot be used: %1</translation>
    </message>
    <message>
        <source>Il file %1 non si può leggere. Sostituirlo con l&apos;elenco attuale?</source>
        <translation>The file %1 cannot be read. Replace it with the current list?</translation>
    </message>
    <message>
        <source>Aggiungi bersaglio</source>
        <translation>Add target</translation>
    </message>
    <message>
        <source>Modifica bersaglio</source>
        <translation>Edit target</translation>
    </message>
    <message>
        <source>Importa bersagli</source>
        <translation>Import targets</translation>
    </message>
    <message>
        <source>YAML (*.yml *.yaml)</source>
        <translation>YAML (*.yml *.yaml)</translation>
    </message>
    <message>
        <source>Esporta bersagli</source>
        <translation>Export targets</translation>
    </message>
</context>
<context>
    <name>TTraceTable</name>
    <message>
        <source>nessuna risposta</source>
        <translation>no answer</translation>
    </message>
    <message>
        <source>%1 indirizzi</source>
        <translation>%1 addresses</translation>
    </message>
    <message>
        <source>Salto</source>
        <translation>Hop</translation>
    </message>
    <message>
        <source>Indirizzo</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>Nome</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Quota %</source>
        <translation>Share %</translation>
    </message>
    <message>
        <source>Perdita %</source>
        <translation>Loss %</translation>
    </message>
    <message>
        <source>Inviati</source>
        <translation>Sent</translation>
    </message>
    <message>
        <source>Ricevuti</source>
        <translation>Received</translation>
    </message>
    <message>
        <source>Ultimo</source>
        <translation>Last</translation>
    </message>
    <message>
        <source>Media</source>
        <translation>Average</translation>
    </message>
    <message>
        <source>Migliore</source>
        <translation>Best</translation>
    </message>
    <message>
        <source>Peggiore</source>
        <translation>Worst</translation>
    </message>
    <message>
        <source>Dev. std.</source>
        <translation>Std. dev.</translation>
    </message>
    <message>
        <source>Jitter</source>
        <translation>Jitter</translation>
    </message>
    <message>
        <source>%1 Percorso cambiato al salto %2: %3 → %4</source>
        <translation>%1 Path changed at hop %2: %3 → %4</translation>
    </message>
</context>
<context>
    <name>TTraceVerdict</name>
    <message>
        <source>Servono almeno %1 giri per un giudizio (finora %2).</source>
        <translation>A verdict needs at least %1 rounds (%2 so far).</translation>
    </message>
    <message>
        <source>La destinazione non è raggiungibile: il salto %1 la dichiara irraggiungibile.</source>
        <translation>The destination cannot be reached: hop %1 reports it unreachable.</translation>
    </message>
    <message>
        <source>La destinazione non risponde e nessun salto risponde.</source>
        <translation>The destination does not answer and no hop answers.</translation>
    </message>
    <message>
        <source>La destinazione non risponde; l&apos;ultimo salto che risponde è il %1.</source>
        <translation>The destination does not answer; the last hop that answers is %1.</translation>
    </message>
    <message>
        <source>La perdita inizia al salto %1.</source>
        <translation>The loss begins at hop %1.</translation>
    </message>
    <message>
        <source>Il salto %1 perde risposte ma la destinazione risponde: quel router limita le sue risposte, non è un guasto.</source>
        <translation>Hop %1 loses answers but the destination answers: that router limits its answers, it is not a fault.</translation>
    </message>
    <message>
        <source>I salti %1 perdono risposte ma la destinazione risponde: quei router limitano le loro risposte, non è un guasto.</source>
        <translation>Hops %1 lose answers but the destination answers: those routers limit their answers, it is not a fault.</translation>
    </message>
    <message>
        <source>Tutto regolare: la destinazione risponde e nessun salto perde risposte oltre il normale.</source>
        <translation>All normal: the destination answers and no hop loses more answers than usual.</translation>
    </message>
    <message>
        <source> e </source>
        <translation> and </translation>
    </message>
</context>
<context>
    <name>TZirkoApplication</name>
    <message>
        <source>Unknown exception</source>
        <translation>Unknown exception</translation>
    </message>
</context>
<context>
    <name>TZirkoOptions</name>
    <message>
        <source>zirko: %1 (see zirko --help)</source>
        <translation>zirko: %1 (see zirko --help)</translation>
    </message>
    <message>
        <source>unknown option %1</source>
        <translation>unknown option %1</translation>
    </message>
    <message>
        <source>unexpected argument %1</source>
        <translation>unexpected argument %1</translation>
    </message>
    <message>
        <source>--metrics needs ADDRESS:PORT with a port from 1 to 65535, not %1</source>
        <translation>--metrics needs ADDRESS:PORT with a port from 1 to 65535, not %1</translation>
    </message>
    <message>
        <source>--report needs --host and --out</source>
        <translation>--report needs --host and --out</translation>
    </message>
    <message>
        <source>--from, --to and --out go with --report</source>
        <translation>--from, --to and --out go with --report</translation>
    </message>
    <message>
        <source>--host needs a host name or address</source>
        <translation>--host needs a host name or address</translation>
    </message>
    <message>
        <source>%1 needs a whole number from %2 to %3</source>
        <translation>%1 needs a whole number from %2 to %3</translation>
    </message>
    <message>
        <source>%1 needs a whole number from %2 to %3, not %4</source>
        <translation>%1 needs a whole number from %2 to %3, not %4</translation>
    </message>
    <message>
        <source>%1 needs a value</source>
        <translation>%1 needs a value</translation>
    </message>
    <message>
        <source>Usage: zirko [OPTION]...

Watches whether a network host answers ICMP echo requests, and how fast:
five-ping bursts, scheduled monitoring with statistics and alarms in the
notification area, a traceroute, and a log file kept across runs.
Without options every start begins from the window&apos;s defaults.

  --host HOST            the host to watch (the Ping page&apos;s host field);
                         headless watches each one given
  --config FILE          headless: watch every target of FILE (YAML),
                         read again at SIGHUP
  --auto                 start &quot;Auto&quot; once the window is up
  --run-minutes N        minutes of each run, 1-60 (default 1)
  --every-minutes N      minutes of rest between runs, 1-60 (default 5)
  --limit-ms N           the average&apos;s limit in ms, 10-10000 (default 250)
  --alarm-after N        lost pings in a row before the alarm, 1-1000 (default 10)
  --minimized            start hidden in the tray (minimized without one)
  --headless             monitor without a window or display, as with --auto;
                         SIGTERM or SIGINT ends it
  --metrics ADDR:PORT    serve Prometheus metrics at http://ADDR:PORT/metrics
                         (ADDR 127.0.0.1 unless given)
  --metrics-textfile DIR write DIR/zirko.prom after every ping, for
                         node_exporter&apos;s textfile collector
  --report --host HOST --out FILE.pdf [--from WHEN] [--to WHEN]
                         write a PDF report of HOST&apos;s history, WHEN as
                         YYYY-MM-DD[THH:MM] local time (default: the last
                         24 hours); exit 2 when there is nothing to report
  -h, --help             show this help and exit
  -V, --version          show the version and exit

The log, ZIRKO.LOG, lies in $XDG_STATE_HOME/zirko/ (~/.local/state/zirko/)
for an installed copy, else in the folder of the executable.
Pinging needs raw sockets. The window holds none and gives up every
capability at start; the helper zirko-socket, granted cap_net_raw, opens
them, drops the capability and sends the window&apos;s echo requests. Without
it, unprivileged ICMP sockets allowed by net.ipv4.ping_group_range serve.
</source>
        <translation>Usage: zirko [OPTION]...

Watches whether a network host answers ICMP echo requests, and how fast:
five-ping bursts, scheduled monitoring with statistics and alarms in the
notification area, a traceroute, and a log file kept across runs.
Without options every start begins from the window&apos;s defaults.

  --host HOST            the host to watch (the Ping page&apos;s host field);
                         headless watches each one given
  --config FILE          headless: watch every target of FILE (YAML),
                         read again at SIGHUP
  --auto                 start &quot;Auto&quot; once the window is up
  --run-minutes N        minutes of each run, 1-60 (default 1)
  --every-minutes N      minutes of rest between runs, 1-60 (default 5)
  --limit-ms N           the average&apos;s limit in ms, 10-10000 (default 250)
  --alarm-after N        lost pings in a row before the alarm, 1-1000 (default 10)
  --minimized            start hidden in the tray (minimized without one)
  --headless             monitor without a window or display, as with --auto;
                         SIGTERM or SIGINT ends it
  --metrics ADDR:PORT    serve Prometheus metrics at http://ADDR:PORT/metrics
                         (ADDR 127.0.0.1 unless given)
  --metrics-textfile DIR write DIR/zirko.prom after every ping, for
                         node_exporter&apos;s textfile collector
  --report --host HOST --out FILE.pdf [--from WHEN] [--to WHEN]
                         write a PDF report of HOST&apos;s history, WHEN as
                         YYYY-MM-DD[THH:MM] local time (default: the last
                         24 hours); exit 2 when there is nothing to report
  -h, --help             show this help and exit
  -V, --version          show the version and exit

The log, ZIRKO.LOG, lies in $XDG_STATE_HOME/zirko/ (~/.local/state/zirko/)
for an installed copy, else in the folder of the executable.
Pinging needs raw sockets. The window holds none and gives up every
capability at start; the helper zirko-socket, granted cap_net_raw, opens
them, drops the capability and sends the window&apos;s echo requests. Without
it, unprivileged ICMP sockets allowed by net.ipv4.ping_group_range serve.
</translation>
    </message>
</context>
<context>
    <name>Zirko</name>
    <message>
        <source>License GPL-3.0-or-later &lt;https://www.gnu.org/licenses/gpl.html&gt;.
This is free software: you are free to change and redistribute it.
There is NO WARRANTY, to the extent permitted by law.
</source>
        <translation>License GPL-3.0-or-later &lt;https://www.gnu.org/licenses/gpl.html&gt;.
This is free software: you are free to change and redistribute it.
There is NO WARRANTY, to the extent permitted by law.
</translation>
    </message>
    <message>
        <source>zirko: --from and --to need YYYY-MM-DD or YYYY-MM-DDTHH:MM (see zirko --help)</source>
        <translation>zirko: --from and --to need YYYY-MM-DD or YYYY-MM-DDTHH:MM (see zirko --help)</translation>
    </message>
    <message>
        <source>zirko: no ping of %1 in the history from %2 to %3</source>
        <translation>zirko: no ping of %1 in the history from %2 to %3</translation>
    </message>
    <message>
        <source>zirko: --config needs --headless (see zirko --help)</source>
        <translation>zirko: --config needs --headless (see zirko --help)</translation>
    </message>
</context>
</TS>
