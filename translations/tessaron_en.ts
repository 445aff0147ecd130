<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>DiskSpace</name>
    <message>
        <source>Only %1 MB are free on %2; the recording needs %3 MB. Record anyway?</source>
        <translation>Only %1 MB are free on %2; the recording needs %3 MB. Record anyway?</translation>
    </message>
</context>
<context>
    <name>HelpWindow</name>
    <message>
        <source>Tessaron Help</source>
        <translation>Tessaron Help</translation>
    </message>
    <message>
        <source>Contents</source>
        <translation>Contents</translation>
    </message>
    <message>
        <source>Type a word to find</source>
        <translation>Type a word to find</translation>
    </message>
    <message>
        <source>Find in the index</source>
        <translation>Find in the index</translation>
    </message>
    <message>
        <source>Index</source>
        <translation>Index</translation>
    </message>
    <message>
        <source>&amp;Contents</source>
        <translation>&amp;Contents</translation>
    </message>
    <message>
        <source>In&amp;dex</source>
        <translation>In&amp;dex</translation>
    </message>
    <message>
        <source>Help page</source>
        <translation>Help page</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>Forward</source>
        <translation>Forward</translation>
    </message>
    <message>
        <source>Contents and index</source>
        <translation>Contents and index</translation>
    </message>
</context>
<context>
    <name>Prompts</name>
    <message>
        <source>%1
The file is write-protected. Choose another name.</source>
        <translation>%1
The file is write-protected. Choose another name.</translation>
    </message>
</context>
<context>
    <name>Registry</name>
    <message>
        <source>The settings store %1 cannot be read and cannot be moved aside</source>
        <translation>The settings store %1 cannot be read and cannot be moved aside</translation>
    </message>
    <message>
        <source>The settings store %1 cannot be read: %2</source>
        <translation>The settings store %1 cannot be read: %2</translation>
    </message>
    <message>
        <source>The folder %1 of the settings store cannot be created</source>
        <translation>The folder %1 of the settings store cannot be created</translation>
    </message>
    <message>
        <source>The settings store %1 cannot be written: %2</source>
        <translation>The settings store %1 cannot be written: %2</translation>
    </message>
</context>
<context>
    <name>RunRecord</name>
    <message>
        <source>Dropouts: %1, %2 s lost, last at %3</source>
        <translation>Dropouts: %1, %2 s lost, last at %3</translation>
    </message>
    <message>
        <source>No signal for %1 s: is the input connected?</source>
        <translation>No signal for %1 s: is the input connected?</translation>
    </message>
    <message>
        <source>File: %1</source>
        <translation>File: %1</translation>
    </message>
    <message>
        <source>Disk full in about %1:%2</source>
        <translation>Disk full in about %1:%2</translation>
    </message>
    <message>
        <source>Recording stopped by the user (%1).</source>
        <translation>Recording stopped by the user (%1).</translation>
    </message>
    <message>
        <source>Monitoring stopped by the user (%1).</source>
        <translation>Monitoring stopped by the user (%1).</translation>
    </message>
    <message>
        <source>Recording ended: set length reached (%1).</source>
        <translation>Recording ended: set length reached (%1).</translation>
    </message>
    <message>
        <source>Monitoring ended: set length reached (%1).</source>
        <translation>Monitoring ended: set length reached (%1).</translation>
    </message>
    <message>
        <source>Recording ended: %1 (%2).</source>
        <translation>Recording ended: %1 (%2).</translation>
    </message>
    <message>
        <source>Monitoring ended: %1 (%2).</source>
        <translation>Monitoring ended: %1 (%2).</translation>
    </message>
    <message>
        <source>Files: %1.</source>
        <translation>Files: %1.</translation>
    </message>
    <message>
        <source>No dropouts.</source>
        <translation>No dropouts.</translation>
    </message>
    <message>
        <source>Markers: %1</source>
        <translation>Markers: %1</translation>
    </message>
</context>
<context>
    <name>StatusLine</name>
    <message>
        <source>Status line</source>
        <translation>Status line</translation>
    </message>
</context>
<context>
    <name>TApplication</name>
    <message>
        <source>An unexpected error ended the last command.</source>
        <translation>An unexpected error ended the last command.</translation>
    </message>
</context>
<context>
    <name>TForm1</name>
    <message>
        <source>Dateinahme für Aufnahme</source>
        <translation>File name for recording</translation>
    </message>
    <message>
        <source>Wave-Datei|*.wav|Alle Dateien|*.*</source>
        <translation>Wave file|*.wav|All files|*.*</translation>
    </message>
    <message>
        <source>LED-&amp;Meter</source>
        <translation>LED-&amp;Meter</translation>
    </message>
    <message>
        <source>Select the meter (refer to wave data=don&apos;t use the soundcard&apos;s meter)</source>
        <translation>Select the meter (refer to wave data=don&apos;t use the soundcard&apos;s meter)</translation>
    </message>
    <message>
        <source>Record &amp;Device</source>
        <translation>Record &amp;Device</translation>
    </message>
    <message>
        <source>Select the recording device (wavemapper=Win&apos;s default)</source>
        <translation>Select the recording device (Wavemapper = the system&apos;s default)</translation>
    </message>
    <message>
        <source>&amp;Level Control</source>
        <translation>&amp;Level Control</translation>
    </message>
    <message>
        <source>Select the input the level control should refer to</source>
        <translation>Select the input the level control should refer to</translation>
    </message>
    <message>
        <source>Wait until this level is exceeded</source>
        <translation>Wait until this level is exceeded</translation>
    </message>
    <message>
        <source>Tr&amp;igger level</source>
        <translation>Tr&amp;igger level</translation>
    </message>
    <message>
        <source>&amp;Triggered</source>
        <translation>&amp;Triggered</translation>
    </message>
    <message>
        <source>Toggel trigger on/off</source>
        <translation>Toggle trigger on/off</translation>
    </message>
    <message>
        <source>Recording</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>Left meter</source>
        <translation>Left meter</translation>
    </message>
    <message>
        <source>Right meter</source>
        <translation>Right meter</translation>
    </message>
    <message>
        <source>Number of consecutive samples per block exceeding limit</source>
        <translation>Number of consecutive samples per block exceeding limit</translation>
    </message>
    <message>
        <source>Le&amp;vel</source>
        <translation>Le&amp;vel</translation>
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
        <translation>Select filename</translation>
    </message>
    <message>
        <source>Monitor input</source>
        <translation>Monitor input</translation>
    </message>
    <message>
        <source>Start recording - select filename first</source>
        <translation>Start recording - select filename first</translation>
    </message>
    <message>
        <source>Stop recording</source>
        <translation>Stop recording</translation>
    </message>
    <message>
        <source>Control M&amp;ode</source>
        <translation>Co&amp;ntrol Mode</translation>
    </message>
    <message>
        <source>Level/Balan&amp;ce</source>
        <translation>Level/Balan&amp;ce</translation>
    </message>
    <message>
        <source>One level control + balance</source>
        <translation>One level control + balance</translation>
    </message>
    <message>
        <source>L&amp;evel L/R</source>
        <translation>L&amp;evel L/R</translation>
    </message>
    <message>
        <source>Left and right control</source>
        <translation>Left and right control</translation>
    </message>
    <message>
        <source>&amp;VUK Mode</source>
        <translation>VU&amp;K Mode</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>No automatic level control</source>
        <translation>No automatic level control</translation>
    </message>
    <message>
        <source>Down only</source>
        <translation>Down only</translation>
    </message>
    <message>
        <source>Take down the level only</source>
        <translation>Take down the level only</translation>
    </message>
    <message>
        <source>Up/Down</source>
        <translation>Up/Down</translation>
    </message>
    <message>
        <source>Down if input too high, up if input too low</source>
        <translation>Down if input too high, up if input too low</translation>
    </message>
    <message>
        <source>Elapsed time</source>
        <translation>Elapsed time</translation>
    </message>
    <message>
        <source>Elapsed recording time</source>
        <translation>Elapsed recording time</translation>
    </message>
    <message>
        <source>Length</source>
        <translation>Length</translation>
    </message>
    <message>
        <source>Left length of recording time</source>
        <translation>Recording time left</translation>
    </message>
    <message>
        <source>Start at</source>
        <translation>Start at</translation>
    </message>
    <message>
        <source>Start recording at time below</source>
        <translation>Start recording at time below</translation>
    </message>
    <message>
        <source>Start time</source>
        <translation>Start time</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Quit</translation>
    </message>
    <message>
        <source>&amp;Options</source>
        <translation>&amp;Options</translation>
    </message>
    <message>
        <source>&amp;Advanced...</source>
        <translation>&amp;Advanced...</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>Uninstall</source>
        <translation>Uninstall</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>&amp;Index</source>
        <translation>&amp;Index</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>&amp;About</translation>
    </message>
    <message>
        <source>Wavemapper</source>
        <translation>Wavemapper</translation>
    </message>
    <message>
        <source>refer to wave data</source>
        <translation>refer to wave data</translation>
    </message>
    <message>
        <source>Kein Meter angewählt, Meter abgestellt</source>
        <translation>No meter selected, meters switched off</translation>
    </message>
    <message>
        <source>Aufnahme</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>Datei %1 kann nicht erstellt werden</source>
        <translation>File %1 cannot be created</translation>
    </message>
    <message>
        <source>The settings file could not be read, so the default settings apply.
The old file was kept as %1.</source>
        <translation>The settings file could not be read, so the default settings apply.
The old file was kept as %1.</translation>
    </message>
    <message>
        <source>You will remove the registry key where the settings were saved.
To uninstall simply delete the program and help files.</source>
        <translation>You will remove the registry key where the settings were saved.
To uninstall simply delete the program and help files.</translation>
    </message>
    <message>
        <source>Recording lamp</source>
        <translation>Recording lamp</translation>
    </message>
    <message>
        <source>Left level</source>
        <translation>Left level</translation>
    </message>
    <message>
        <source>Right level</source>
        <translation>Right level</translation>
    </message>
    <message>
        <source>Left clips</source>
        <translation>Left clips</translation>
    </message>
    <message>
        <source>Right clips</source>
        <translation>Right clips</translation>
    </message>
    <message>
        <source>Trigger level</source>
        <translation>Trigger level</translation>
    </message>
    <message>
        <source>Record level left</source>
        <translation>Record level left</translation>
    </message>
    <message>
        <source>Record level right</source>
        <translation>Record level right</translation>
    </message>
    <message>
        <source>Record level</source>
        <translation>Record level</translation>
    </message>
    <message>
        <source>Balance</source>
        <translation>Balance</translation>
    </message>
    <message>
        <source>Start recording</source>
        <translation>Start recording</translation>
    </message>
    <message>
        <source>Length minutes</source>
        <translation>Length minutes</translation>
    </message>
    <message>
        <source>Length seconds</source>
        <translation>Length seconds</translation>
    </message>
    <message>
        <source>Start hour</source>
        <translation>Start hour</translation>
    </message>
    <message>
        <source>Start minute</source>
        <translation>Start minute</translation>
    </message>
    <message>
        <source>&amp;Marker</source>
        <translation>&amp;Marker</translation>
    </message>
    <message>
        <source>Broadcast Wave (bext)</source>
        <translation>Broadcast Wave (bext)</translation>
    </message>
    <message>
        <source>One file past 4 GiB (RF64)</source>
        <translation>One file past 4 GiB (RF64)</translation>
    </message>
    <message>
        <source>The recording device &quot;%1&quot; is gone; &quot;%2&quot; records now.</source>
        <translation>The recording device &quot;%1&quot; is gone; &quot;%2&quot; records now.</translation>
    </message>
    <message>
        <source>The meter &quot;%1&quot; is gone; the meter is &quot;%2&quot; now.</source>
        <translation>The meter &quot;%1&quot; is gone; the meter is &quot;%2&quot; now.</translation>
    </message>
    <message>
        <source>The level control line &quot;%1&quot; is gone; it is &quot;%2&quot; now.</source>
        <translation>The level control line &quot;%1&quot; is gone; it is &quot;%2&quot; now.</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>Vie&amp;w</translation>
    </message>
    <message>
        <source>Take &amp;overview</source>
        <translation>Take &amp;overview</translation>
    </message>
</context>
<context>
    <name>TForm2</name>
    <message>
        <source>A sound recorder for PCM audio with LED level meters, clip counters, automatic level control, trigger level, timed start and fixed recording length.

Program, audio component and display controls (LED bar meter, LED display, screw panel, number edit field): the Tessaron developers.

Built with Qt 6 Widgets and the ALSA sound library.

This program comes with no warranty.</source>
        <translation>A sound recorder for PCM audio with LED level meters, clip counters, automatic level control, trigger level, timed start and fixed recording length.

Program, audio component and display controls (LED bar meter, LED display, screw panel, number edit field): the Tessaron developers.

Built with Qt 6 Widgets and the ALSA sound library.

This program comes with no warranty.</translation>
    </message>
    <message>
        <source>About</source>
        <translation>About</translation>
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
        <translation>Version and credits</translation>
    </message>
</context>
<context>
    <name>TOKBottomDlg</name>
    <message>
        <source>Record Settings</source>
        <translation>Record Settings</translation>
    </message>
    <message>
        <source>Bits/Sample</source>
        <translation>Bits/Sample</translation>
    </message>
    <message>
        <source>8 Bit/Sample</source>
        <translation>8 Bit/Sample</translation>
    </message>
    <message>
        <source>16 Bit/Sample</source>
        <translation>16 Bit/Sample</translation>
    </message>
    <message>
        <source>24 Bit/Sample</source>
        <translation>24 Bit/Sample</translation>
    </message>
    <message>
        <source>32 float</source>
        <translation>32 float</translation>
    </message>
    <message>
        <source>Channels</source>
        <translation>Channels</translation>
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
        <translation>Samplerate</translation>
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
        <translation>Pre-trigger (ms)</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Abbrechen</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Use a pre-trigger of 0 to %1 ms.</source>
        <translation>Use a pre-trigger of 0 to %1 ms.</translation>
    </message>
    <message>
        <source>Use a samplerate of %1 to %2 Hz.</source>
        <translation>Use a samplerate of %1 to %2 Hz.</translation>
    </message>
</context>
<context>
    <name>TakeOverview</name>
    <message>
        <source>Dropout %1 s</source>
        <translation>Dropout %1 s</translation>
    </message>
    <message>
        <source>Start of %1</source>
        <translation>Start of %1</translation>
    </message>
    <message>
        <source>No run yet.</source>
        <translation>No run yet.</translation>
    </message>
    <message>
        <source>Length %1.</source>
        <translation>Length %1.</translation>
    </message>
    <message>
        <source>No signal.</source>
        <translation>No signal.</translation>
    </message>
    <message>
        <source>Loudest %1 at %2 (%3).</source>
        <translation>Loudest %1 at %2 (%3).</translation>
    </message>
    <message>
        <source>No clips.</source>
        <translation>No clips.</translation>
    </message>
    <message>
        <source>Clipped %1 s.</source>
        <translation>Clipped %1 s.</translation>
    </message>
    <message>
        <source>No silent stretches.</source>
        <translation>No silent stretches.</translation>
    </message>
    <message>
        <source>Silent stretches: %1, %2 s.</source>
        <translation>Silent stretches: %1, %2 s.</translation>
    </message>
    <message>
        <source>No dropouts.</source>
        <translation>No dropouts.</translation>
    </message>
    <message>
        <source>Dropouts: %1, %2 s lost.</source>
        <translation>Dropouts: %1, %2 s lost.</translation>
    </message>
    <message>
        <source>Files: %1.</source>
        <translation>Files: %1.</translation>
    </message>
    <message>
        <source>Save picture</source>
        <translation>Save picture</translation>
    </message>
    <message>
        <source>PNG picture|*.png|All files|*.*</source>
        <translation>PNG picture|*.png|All files|*.*</translation>
    </message>
    <message>
        <source>The picture cannot be saved as %1.</source>
        <translation>The picture cannot be saved as %1.</translation>
    </message>
    <message>
        <source>Take overview</source>
        <translation>Take overview</translation>
    </message>
</context>
<context>
    <name>TakeOverviewWindow</name>
    <message>
        <source>Take overview</source>
        <translation>Take overview</translation>
    </message>
    <message>
        <source>Take picture</source>
        <translation>Take picture</translation>
    </message>
    <message>
        <source>Save picture...</source>
        <translation>Save picture...</translation>
    </message>
</context>
<context>
    <name>TakePicture</name>
    <message>
        <source>silence</source>
        <translation>silence</translation>
    </message>
    <message>
        <source>%1 dB</source>
        <translation>%1 dB</translation>
    </message>
    <message>
        <source>level %1</source>
        <translation>level %1</translation>
    </message>
    <message>
        <source>left %1</source>
        <translation>left %1</translation>
    </message>
    <message>
        <source>right %1</source>
        <translation>right %1</translation>
    </message>
    <message>
        <source>clipped</source>
        <translation>clipped</translation>
    </message>
    <message>
        <source>input lost</source>
        <translation>input lost</translation>
    </message>
    <message>
        <source>no signal</source>
        <translation>no signal</translation>
    </message>
    <message>
        <source>The picture of a run appears here when it starts.</source>
        <translation>The picture of a run appears here when it starts.</translation>
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
        <translation>Take picture</translation>
    </message>
</context>
</TS>
