#!/usr/bin/env bash
# Two Syncthing instances on this machine, as two computers sharing one folder, for the tests.
#   syncthing-pair.sh start DIR PORT_A PORT_B   makes DIR/a and DIR/b (home/ and data/ each),
#                                               starts both, and returns once they are running
#   syncthing-pair.sh stop DIR [a|b]            stops both, or one
#   syncthing-pair.sh resume DIR a|b            starts one again
# Each listens on 127.0.0.1 only, knows the other by that address alone, and has no relays,
# no discovery, no upgrade checks, no usage or crash reports, and no web interface; the shared
# folder is rescanned every two seconds and watched for changes.
set -euo pipefail

command=$1
dir=$2

serve() {
    local name=$1
    STNOUPGRADE=1 STNORESTART=1 nohup syncthing serve --home="$dir/$name/home" --no-browser \
        --no-restart --no-upgrade --logfile="$dir/$name/syncthing.log" >/dev/null 2>&1 &
    echo $! >"$dir/$name/pid"
}

stop() {
    local name=$1
    if [ -f "$dir/$name/pid" ]; then
        kill "$(cat "$dir/$name/pid")" 2>/dev/null || true
        for _ in $(seq 50); do
            kill -0 "$(cat "$dir/$name/pid")" 2>/dev/null || break
            sleep 0.1
        done
        kill -9 "$(cat "$dir/$name/pid")" 2>/dev/null || true
        rm -f "$dir/$name/pid"
    fi
}

config() {
    local me=$1 other=$2 my_port=$3 other_port=$4 my_id=$5 other_id=$6
    cat >"$dir/$me/home/config.xml" <<XML
<configuration version="36">
    <folder id="vokarin" label="vokarin" path="$dir/$me/data" type="sendreceive"
            rescanIntervalS="2" fsWatcherEnabled="true" fsWatcherDelayS="1">
        <device id="$my_id"></device>
        <device id="$other_id"></device>
        <minDiskFree unit="%">0</minDiskFree>
        <maxConflicts>10</maxConflicts>
    </folder>
    <device id="$my_id" name="$me"><address>dynamic</address></device>
    <device id="$other_id" name="$other"><address>tcp://127.0.0.1:$other_port</address></device>
    <gui enabled="false"><address>127.0.0.1:0</address></gui>
    <options>
        <listenAddress>tcp://127.0.0.1:$my_port</listenAddress>
        <globalAnnounceEnabled>false</globalAnnounceEnabled>
        <localAnnounceEnabled>false</localAnnounceEnabled>
        <relaysEnabled>false</relaysEnabled>
        <natEnabled>false</natEnabled>
        <startBrowser>false</startBrowser>
        <urAccepted>-1</urAccepted>
        <autoUpgradeIntervalH>0</autoUpgradeIntervalH>
        <crashReportingEnabled>false</crashReportingEnabled>
        <reconnectionIntervalS>1</reconnectionIntervalS>
        <minHomeDiskFree unit="%">0</minHomeDiskFree>
    </options>
</configuration>
XML
}

case "$command" in
start)
    port_a=$3
    port_b=$4
    for name in a b; do
        mkdir -p "$dir/$name/data/.stfolder"
        syncthing generate --home="$dir/$name/home" --no-default-folder --skip-port-probing \
            >/dev/null 2>&1
    done
    id_a=$(syncthing serve --home="$dir/a/home" --device-id)
    id_b=$(syncthing serve --home="$dir/b/home" --device-id)
    config a b "$port_a" "$port_b" "$id_a" "$id_b"
    config b a "$port_b" "$port_a" "$id_b" "$id_a"
    serve a
    serve b
    ;;
stop)
    if [ $# -ge 3 ]; then
        stop "$3"
    else
        stop a
        stop b
    fi
    ;;
resume)
    serve "$3"
    ;;
*)
    echo "usage: $0 start DIR PORT_A PORT_B | stop DIR [a|b] | resume DIR a|b" >&2
    exit 2
    ;;
esac
