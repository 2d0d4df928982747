# fish completion for tembrel-remote
set -l commands status playlist artists albums tracks queue search play pause toggle stop next prev seek track vol shuffle repeat picture upload watch raw help

complete -c tembrel-remote -f
complete -c tembrel-remote -l host -x -a '(__fish_print_hostnames)' -d 'Server host name or address'
complete -c tembrel-remote -s p -l port -x -d 'Server port'
complete -c tembrel-remote -l name -x -d 'User name to join with'
complete -c tembrel-remote -l json -d 'Print JSON for scripts'
complete -c tembrel-remote -l timeout -x -d 'How long to wait for the server, in ms'
complete -c tembrel-remote -l help -d 'Show the help'
complete -c tembrel-remote -l version -d 'Show the version'

complete -c tembrel-remote -n "not __fish_seen_subcommand_from $commands" -a status -d 'Show the current track, state and volume'
complete -c tembrel-remote -n "not __fish_seen_subcommand_from $commands" -a playlist -d 'List the playlist entries'
complete -c tembrel-remote -n "not __fish_seen_subcommand_from $commands" -a artists -d 'List the artists'
complete -c tembrel-remote -n "not __fish_seen_subcommand_from $commands" -a albums -d 'List an artist\'s albums'
complete -c tembrel-remote -n "not __fish_seen_subcommand_from $commands" -a tracks -d 'List the tracks of an album'
complete -c tembrel-remote -n "not __fish_seen_subcommand_from $commands" -a queue -d 'Add a track, album or artist to the playlist'
complete -c tembrel-remote -n "not __fish_seen_subcommand_from $commands" -a search -d 'Find artists, albums and tracks by name'
complete -c tembrel-remote -n "not __fish_seen_subcommand_from $commands" -a play -d 'Play, or resume when paused'
complete -c tembrel-remote -n "not __fish_seen_subcommand_from $commands" -a pause -d 'Pause when playing'
complete -c tembrel-remote -n "not __fish_seen_subcommand_from $commands" -a toggle -d 'Pause, or resume when paused'
complete -c tembrel-remote -n "not __fish_seen_subcommand_from $commands" -a stop -d 'Stop playback'
complete -c tembrel-remote -n "not __fish_seen_subcommand_from $commands" -a next -d 'Skip to the next track'
complete -c tembrel-remote -n "not __fish_seen_subcommand_from $commands" -a prev -d 'Go back to the previous track'
complete -c tembrel-remote -n "not __fish_seen_subcommand_from $commands" -a seek -d 'Move within the playing track'
complete -c tembrel-remote -n "not __fish_seen_subcommand_from $commands" -a track -d 'Play playlist entry N'
complete -c tembrel-remote -n "not __fish_seen_subcommand_from $commands" -a vol -d 'Set or change the volume'
complete -c tembrel-remote -n "not __fish_seen_subcommand_from $commands" -a shuffle -d 'Switch shuffle on or off'
complete -c tembrel-remote -n "not __fish_seen_subcommand_from $commands" -a repeat -d 'Switch repeat on or off'
complete -c tembrel-remote -n "not __fish_seen_subcommand_from $commands" -a picture -d 'Save the album picture of entry N'
complete -c tembrel-remote -n "not __fish_seen_subcommand_from $commands" -a upload -d 'Send audio files and queue them'
complete -c tembrel-remote -n "not __fish_seen_subcommand_from $commands" -a watch -d 'Live status and spectrum'
complete -c tembrel-remote -n "not __fish_seen_subcommand_from $commands" -a raw -d 'Send any command, print every reply'
complete -c tembrel-remote -n "not __fish_seen_subcommand_from $commands" -a help -d 'Show the help'

complete -c tembrel-remote -n "__fish_seen_subcommand_from vol" -a 'up down mute'
complete -c tembrel-remote -n "__fish_seen_subcommand_from shuffle repeat" -a 'on off'
complete -c tembrel-remote -n "__fish_seen_subcommand_from queue" -l loose -d 'A loose track of the artist'
complete -c tembrel-remote -n "__fish_seen_subcommand_from help" -a "$commands"
complete -c tembrel-remote -n "__fish_seen_subcommand_from upload picture" -F
