<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>DiskSpace</name>
    <message>
        <source>Only %1 MB are free on %2; the recording needs %3 MB. Record anyway?</source>
        <translation>Auf %2 sind nur %1 MB frei; die Aufnahme braucht %3 MB. Trotzdem aufnehmen?</translation>
    </message>
</context>
<context>
    <name>HelpWindow</name>
    <message>
        <source>Tessaron Help</source>
        <translation>Tessaron-Hilfe</translation>
    </message>
    <message>
        <source>Contents</source>
        <translation>Inhalt</translation>
    </message>
    <message>
        <source>Type a word to find</source>
        <translation>Suchbegriff eingeben</translation>
    </message>
    <message>
        <source>Find in the index</source>
        <translation>Im Index suchen</translation>
    </message>
    <message>
        <source>Index</source>
        <translation>Index</translation>
    </message>
    <message>
        <source>&amp;Contents</source>
        <translation>&amp;Inhalt</translation>
    </message>
    <message>
        <source>In&amp;dex</source>
        <translation>In&amp;dex</translation>
    </message>
    <message>
        <source>Help page</source>
        <translation>Hilfeseite</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <source>Forward</source>
        <translation>Vorwärts</translation>
    </message>
    <message>
        <source>Contents and index</source>
        <translation>Inhalt und Index</translation>
    </message>
</context>
<context>
    <name>Prompts</name>
    <message>
        <source>%1
The file is write-protected. Choose another name.</source>
        <translation>%1
Die Datei ist schreibgeschützt. Bitte einen anderen Namen wählen.</translation>
    </message>
</context>
<context>
    <name>Registry</name>
    <message>
        <source>The settings store %1 cannot be read and cannot be moved aside</source>
        <translation>Der Einstellungsspeicher %1 ist nicht lesbar und lässt sich nicht beiseitelegen</translation>
    </message>
    <message>
        <source>The settings store %1 cannot be read: %2</source>
        <translation>Der Einstellungsspeicher %1 ist nicht lesbar: %2</translation>
    </message>
    <message>
        <source>The folder %1 of the settings store cannot be created</source>
        <translation>Der Ordner %1 des Einstellungsspeichers lässt sich nicht anlegen</translation>
    </message>
    <message>
        <source>The settings store %1 cannot be written: %2</source>
        <translation>Der Einstellungsspeicher %1 lässt sich nicht schreiben: %2</translation>
    </message>
</context>
<context>
    <name>RunRecord</name>
    <message>
        <source>Dropouts: %1, %2 s lost, last at %3</source>
        <translation>Aussetzer: %1, %2 s verloren, zuletzt bei %3</translation>
    </message>
    <message>
        <source>No signal for %1 s: is the input connected?</source>
        <translation>Seit %1 s kein Signal: Ist der Eingang angeschlossen?</translation>
    </message>
    <message>
        <source>File: %1</source>
        <translation>Datei: %1</translation>
    </message>
    <message>
        <source>Disk full in about %1:%2</source>
        <translation>Datenträger voll in etwa %1:%2</translation>
    </message>
    <message>
        <source>Recording stopped by the user (%1).</source>
        <translation>Aufnahme vom Benutzer beendet (%1).</translation>
    </message>
    <message>
        <source>Monitoring stopped by the user (%1).</source>
        <translation>Abhören vom Benutzer beendet (%1).</translation>
    </message>
    <message>
        <source>Recording ended: set length reached (%1).</source>
        <translation>Aufnahme beendet: eingestellte Länge erreicht (%1).</translation>
    </message>
    <message>
        <source>Monitoring ended: set length reached (%1).</source>
        <translation>Abhören beendet: eingestellte Länge erreicht (%1).</translation>
    </message>
    <message>
        <source>Recording ended: %1 (%2).</source>
        <translation>Aufnahme beendet: %1 (%2).</translation>
    </message>
    <message>
        <source>Monitoring ended: %1 (%2).</source>
        <translation>Abhören beendet: %1 (%2).</translation>
    </message>
    <message>
        <source>Files: %1.</source>
        <translation>Dateien: %1.</translation>
    </message>
    <message>
        <source>No dropouts.</source>
        <translation>Keine Aussetzer.</translation>
    </message>
    <message>
        <source>Markers: %1</source>
        <translation>Marken: %1</translation>
    </message>
</context>
<context>
    <name>StatusLine</name>
    <message>
        <source>Status line</source>
        <translation>Statuszeile</translation>
    </message>
</context>
<context>
    <name>TApplication</name>
    <message>
        <source>An unexpected error ended the last command.</source>
        <translation>Ein unerwarteter Fehler hat den letzten Befehl beendet.</translation>
    </message>
</context>
<context>
    <name>TForm1</name>
    <message>
        <source>Dateinahme für Aufnahme</source>
        <translation>Dateiname für Aufnahme</translation>
    </message>
    <message>
        <source>Wave-Datei|*.wav|Alle Dateien|*.*</source>
        <translation>Wave-Datei|*.wav|Alle Dateien|*.*</translation>
    </message>
    <message>
        <source>LED-&amp;Meter</source>
        <translation>&amp;LED-Meter</translation>
    </message>
    <message>
        <source>Select the meter (refer to wave data=don&apos;t use the soundcard&apos;s meter)</source>
        <translation>Anzeigequelle wählen (Aufnahmedaten = nicht den Pegelmesser der Soundkarte verwenden)</translation>
    </message>
    <message>
        <source>Record &amp;Device</source>
        <translation>Aufnahme&amp;gerät</translation>
    </message>
    <message>
        <source>Select the recording device (wavemapper=Win&apos;s default)</source>
        <translation>Aufnahmegerät wählen (Wavemapper = Standardgerät des Systems)</translation>
    </message>
    <message>
        <source>&amp;Level Control</source>
        <translation>Pegel&amp;regelung</translation>
    </message>
    <message>
        <source>Select the input the level control should refer to</source>
        <translation>Eingang wählen, auf den sich die Pegelregelung bezieht</translation>
    </message>
    <message>
        <source>Wait until this level is exceeded</source>
        <translation>Warten, bis dieser Pegel überschritten wird</translation>
    </message>
    <message>
        <source>Tr&amp;igger level</source>
        <translation>Tr&amp;iggerpegel</translation>
    </message>
    <message>
        <source>&amp;Triggered</source>
        <translation>&amp;Trigger</translation>
    </message>
    <message>
        <source>Toggel trigger on/off</source>
        <translation>Trigger ein/aus</translation>
    </message>
    <message>
        <source>Recording</source>
        <translation>Aufnahme</translation>
    </message>
    <message>
        <source>Left meter</source>
        <translation>Linke Anzeige</translation>
    </message>
    <message>
        <source>Right meter</source>
        <translation>Rechte Anzeige</translation>
    </message>
    <message>
        <source>Number of consecutive samples per block exceeding limit</source>
        <translation>Anzahl aufeinanderfolgender Abtastwerte je Block über der Grenze</translation>
    </message>
    <message>
        <source>Le&amp;vel</source>
        <translation>&amp;Pegel</translation>
    </message>
    <message>
        <source>L</source>
        <translation>L</translation>
    </message>
    <message>
        <source>R</source>
        <translation>R</translation>
    </message>
    <message>
        <source>&amp;Balance</source>
        <translation>&amp;Balance</translation>
    </message>
    <message>
        <source>Select filename</source>
        <translation>Dateinamen wählen</translation>
    </message>
    <message>
        <source>Monitor input</source>
        <translation>Eingang abhören</translation>
    </message>
    <message>
        <source>Start recording - select filename first</source>
        <translation>Aufnahme starten – zuerst Dateinamen wählen</translation>
    </message>
    <message>
        <source>Stop recording</source>
        <translation>Aufnahme beenden</translation>
    </message>
    <message>
        <source>Control M&amp;ode</source>
        <translation>Regler&amp;modus</translation>
    </message>
    <message>
        <source>Level/Balan&amp;ce</source>
        <translation>Pegel/Bala&amp;nce</translation>
    </message>
    <message>
        <source>One level control + balance</source>
        <translation>Ein Pegelregler + Balance</translation>
    </message>
    <message>
        <source>L&amp;evel L/R</source>
        <translation>P&amp;egel L/R</translation>
    </message>
    <message>
        <source>Left and right control</source>
        <translation>Linker und rechter Regler</translation>
    </message>
    <message>
        <source>&amp;VUK Mode</source>
        <translation>&amp;VUK-Modus</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Aus</translation>
    </message>
    <message>
        <source>No automatic level control</source>
        <translation>Keine automatische Pegelregelung</translation>
    </message>
    <message>
        <source>Down only</source>
        <translation>Nur absenken</translation>
    </message>
    <message>
        <source>Take down the level only</source>
        <translation>Den Pegel nur absenken</translation>
    </message>
    <message>
        <source>Up/Down</source>
        <translation>Auf/Ab</translation>
    </message>
    <message>
        <source>Down if input too high, up if input too low</source>
        <translation>Absenken bei zu hohem, anheben bei zu niedrigem Eingangspegel</translation>
    </message>
    <message>
        <source>Elapsed time</source>
        <translation>Laufzeit</translation>
    </message>
    <message>
        <source>Elapsed recording time</source>
        <translation>Bisherige Aufnahmedauer</translation>
    </message>
    <message>
        <source>Length</source>
        <translation>Länge</translation>
    </message>
    <message>
        <source>Left length of recording time</source>
        <translation>Verbleibende Aufnahmedauer</translation>
    </message>
    <message>
        <source>Start at</source>
        <translation>Start um</translation>
    </message>
    <message>
        <source>Start recording at time below</source>
        <translation>Aufnahme zur unten gezeigten Zeit starten</translation>
    </message>
    <message>
        <source>Start time</source>
        <translation>Startzeit</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>&amp;Options</source>
        <translation>&amp;Optionen</translation>
    </message>
    <message>
        <source>&amp;Advanced...</source>
        <translation>&amp;Erweitert...</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Speichern</translation>
    </message>
    <message>
        <source>Uninstall</source>
        <translation>Deinstallieren</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>&amp;Index</source>
        <translation>&amp;Index</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>Ü&amp;ber</translation>
    </message>
    <message>
        <source>Wavemapper</source>
        <translation>Wavemapper</translation>
    </message>
    <message>
        <source>refer to wave data</source>
        <translation>Aufnahmedaten</translation>
    </message>
    <message>
        <source>Kein Meter angewählt, Meter abgestellt</source>
        <translation>Kein Meter angewählt, Meter abgestellt</translation>
    </message>
    <message>
        <source>Aufnahme</source>
        <translation>Aufnahme</translation>
    </message>
    <message>
        <source>Datei %1 kann nicht erstellt werden</source>
        <translation>Datei %1 kann nicht erstellt werden</translation>
    </message>
    <message>
        <source>The settings file could not be read, so the default settings apply.
The old file was kept as %1.</source>
        <translation>Die Einstellungsdatei war nicht lesbar, daher gelten die Standardeinstellungen.
Die alte Datei wurde als %1 aufbewahrt.</translation>
    </message>
    <message>
        <source>You will remove the registry key where the settings were saved.
To uninstall simply delete the program and help files.</source>
        <translation>Damit wird der Registrierungsschlüssel entfernt, unter dem die Einstellungen gespeichert wurden.
Zum Deinstallieren einfach die Programm- und Hilfedateien löschen.</translation>
    </message>
    <message>
        <source>Recording lamp</source>
        <translation>Aufnahmelampe</translation>
    </message>
    <message>
        <source>Left level</source>
        <translation>Linker Pegel</translation>
    </message>
    <message>
        <source>Right level</source>
        <translation>Rechter Pegel</translation>
    </message>
    <message>
        <source>Left clips</source>
        <translation>Übersteuerungen links</translation>
    </message>
    <message>
        <source>Right clips</source>
        <translation>Übersteuerungen rechts</translation>
    </message>
    <message>
        <source>Trigger level</source>
        <translation>Triggerpegel</translation>
    </message>
    <message>
        <source>Record level left</source>
        <translation>Aufnahmepegel links</translation>
    </message>
    <message>
        <source>Record level right</source>
        <translation>Aufnahmepegel rechts</translation>
    </message>
    <message>
        <source>Record level</source>
        <translation>Aufnahmepegel</translation>
    </message>
    <message>
        <source>Balance</source>
        <translation>Balance</translation>
    </message>
    <message>
        <source>Start recording</source>
        <translation>Aufnahme starten</translation>
    </message>
    <message>
        <source>Length minutes</source>
        <translation>Länge Minuten</translation>
    </message>
    <message>
        <source>Length seconds</source>
        <translation>Länge Sekunden</translation>
    </message>
    <message>
        <source>Start hour</source>
        <translation>Startzeit Stunde</translation>
    </message>
    <message>
        <source>Start minute</source>
        <translation>Startzeit Minute</translation>
    </message>
    <message>
        <source>&amp;Marker</source>
        <translation>&amp;Marke</translation>
    </message>
    <message>
        <source>Broadcast Wave (bext)</source>
        <translation>Broadcast Wave (bext)</translation>
    </message>
    <message>
        <source>One file past 4 GiB (RF64)</source>
        <translation>Eine Datei über 4 GiB (RF64)</translation>
    </message>
    <message>
        <source>The recording device &quot;%1&quot; is gone; &quot;%2&quot; records now.</source>
        <translation>Das Aufnahmegerät „%1“ ist nicht mehr da; jetzt nimmt „%2“ auf.</translation>
    </message>
    <message>
        <source>The meter &quot;%1&quot; is gone; the meter is &quot;%2&quot; now.</source>
        <translation>Das Meter „%1“ ist nicht mehr da; jetzt zeigt „%2“.</translation>
    </message>
    <message>
        <source>The level control line &quot;%1&quot; is gone; it is &quot;%2&quot; now.</source>
        <translation>Die Pegelregelung „%1“ ist nicht mehr da; jetzt regelt „%2“.</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>Take &amp;overview</source>
        <translation>Aufnahme&amp;übersicht</translation>
    </message>
</context>
<context>
    <name>TForm2</name>
    <message>
        <source>A sound recorder for PCM audio with LED level meters, clip counters, automatic level control, trigger level, timed start and fixed recording length.

Program, audio component and display controls (LED bar meter, LED display, screw panel, number edit field): the Tessaron developers.

Built with Qt 6 Widgets and the ALSA sound library.

This program comes with no warranty.</source>
        <translation>Ein Aufnahmeprogramm für PCM-Audio mit LED-Pegelanzeigen, Übersteuerungszählern, automatischer Pegelregelung, Triggerpegel, zeitgesteuertem Start und fester Aufnahmedauer.

Programm, Audiokomponente und Anzeigeelemente (LED-Balkenanzeige, LED-Ziffernanzeige, Schraubenplatte, Zahlenfeld): die Tessaron-Entwickler.

Erstellt mit Qt 6 Widgets und der ALSA-Soundbibliothek.

Dieses Programm wird ohne jede Gewährleistung geliefert.</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Tessaron Version %1.%2</source>
        <translation>Tessaron Version %1.%2</translation>
    </message>
    <message>
        <source>Version and credits</source>
        <translation>Version und Mitwirkende</translation>
    </message>
</context>
<context>
    <name>TOKBottomDlg</name>
    <message>
        <source>Record Settings</source>
        <translation>Aufnahmeeinstellungen</translation>
    </message>
    <message>
        <source>Bits/Sample</source>
        <translation>Bittiefe</translation>
    </message>
    <message>
        <source>8 Bit/Sample</source>
        <translation>8 Bit</translation>
    </message>
    <message>
        <source>16 Bit/Sample</source>
        <translation>16 Bit</translation>
    </message>
    <message>
        <source>24 Bit/Sample</source>
        <translation>24 Bit</translation>
    </message>
    <message>
        <source>32 float</source>
        <translation>32 Bit Float</translation>
    </message>
    <message>
        <source>Channels</source>
        <translation>Kanäle</translation>
    </message>
    <message>
        <source>Mono</source>
        <translation>Mono</translation>
    </message>
    <message>
        <source>Stereo</source>
        <translation>Stereo</translation>
    </message>
    <message>
        <source>Samplerate</source>
        <translation>Abtastrate</translation>
    </message>
    <message>
        <source>Max16</source>
        <translation>Max16</translation>
    </message>
    <message>
        <source>Max8</source>
        <translation>Max8</translation>
    </message>
    <message>
        <source>Pre-trigger (ms)</source>
        <translation>Vorlauf (ms)</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Abbrechen</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Use a pre-trigger of 0 to %1 ms.</source>
        <translation>Nur 0 bis %1 ms möglich.</translation>
    </message>
    <message>
        <source>Use a samplerate of %1 to %2 Hz.</source>
        <translation>Nur %1 bis %2 Hz möglich.</translation>
    </message>
</context>
<context>
    <name>TakeOverview</name>
    <message>
        <source>Dropout %1 s</source>
        <translation>Aussetzer %1 s</translation>
    </message>
    <message>
        <source>Start of %1</source>
        <translation>Beginn von %1</translation>
    </message>
    <message>
        <source>No run yet.</source>
        <translation>Noch kein Lauf.</translation>
    </message>
    <message>
        <source>Length %1.</source>
        <translation>Dauer %1.</translation>
    </message>
    <message>
        <source>No signal.</source>
        <translation>Kein Signal.</translation>
    </message>
    <message>
        <source>Loudest %1 at %2 (%3).</source>
        <translation>Am lautesten %1 bei %2 (%3).</translation>
    </message>
    <message>
        <source>No clips.</source>
        <translation>Keine Übersteuerung.</translation>
    </message>
    <message>
        <source>Clipped %1 s.</source>
        <translation>Übersteuert %1 s.</translation>
    </message>
    <message>
        <source>No silent stretches.</source>
        <translation>Keine stillen Strecken.</translation>
    </message>
    <message>
        <source>Silent stretches: %1, %2 s.</source>
        <translation>Stille Strecken: %1, %2 s.</translation>
    </message>
    <message>
        <source>No dropouts.</source>
        <translation>Keine Aussetzer.</translation>
    </message>
    <message>
        <source>Dropouts: %1, %2 s lost.</source>
        <translation>Aussetzer: %1, %2 s verloren.</translation>
    </message>
    <message>
        <source>Files: %1.</source>
        <translation>Dateien: %1.</translation>
    </message>
    <message>
        <source>Save picture</source>
        <translation>Bild speichern</translation>
    </message>
    <message>
        <source>PNG picture|*.png|All files|*.*</source>
        <translation>PNG-Bild|*.png|Alle Dateien|*.*</translation>
    </message>
    <message>
        <source>The picture cannot be saved as %1.</source>
        <translation>Das Bild kann nicht als %1 gespeichert werden.</translation>
    </message>
    <message>
        <source>Take overview</source>
        <translation>Aufnahmeübersicht</translation>
    </message>
</context>
<context>
    <name>TakeOverviewWindow</name>
    <message>
        <source>Take overview</source>
        <translation>Aufnahmeübersicht</translation>
    </message>
    <message>
        <source>Take picture</source>
        <translation>Bild der Aufnahme</translation>
    </message>
    <message>
        <source>Save picture...</source>
        <translation>Bild speichern...</translation>
    </message>
</context>
<context>
    <name>TakePicture</name>
    <message>
        <source>silence</source>
        <translation>Stille</translation>
    </message>
    <message>
        <source>%1 dB</source>
        <translation>%1 dB</translation>
    </message>
    <message>
        <source>level %1</source>
        <translation>Pegel %1</translation>
    </message>
    <message>
        <source>left %1</source>
        <translation>links %1</translation>
    </message>
    <message>
        <source>right %1</source>
        <translation>rechts %1</translation>
    </message>
    <message>
        <source>clipped</source>
        <translation>übersteuert</translation>
    </message>
    <message>
        <source>input lost</source>
        <translation>Eingang verloren</translation>
    </message>
    <message>
        <source>no signal</source>
        <translation>kein Signal</translation>
    </message>
    <message>
        <source>The picture of a run appears here when it starts.</source>
        <translation>Das Bild eines Laufs erscheint hier, sobald er beginnt.</translation>
    </message>
    <message>
        <source>L</source>
        <translation>L</translation>
    </message>
    <message>
        <source>R</source>
        <translation>R</translation>
    </message>
    <message>
        <source>Take picture</source>
        <translation>Bild der Aufnahme</translation>
    </message>
</context>
</TS>
