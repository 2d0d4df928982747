# fish completion for tembrel-server
complete -c tembrel-server -f
complete -c tembrel-server -l headless -d 'Run without a window, log to standard output'
complete -c tembrel-server -l show -d 'Open the window at start'
complete -c tembrel-server -l port -x -d 'Listen on this port for this run'
complete -c tembrel-server -l location -x -a '(__fish_complete_directories)' -d 'A music folder (up to five)'
complete -c tembrel-server -l settings -r -F -d 'Keep the settings in this INI file'
complete -c tembrel-server -l audio -x -a 'null auto' -d 'Sound output'
complete -c tembrel-server -l upload-dir -x -a '(__fish_complete_directories)' -d 'Where uploaded files are stored'
complete -c tembrel-server -l spectrum -x -a 'off 15 30 60' -d 'Spectrum updates per second'
complete -c tembrel-server -l help -d 'Show the options'
complete -c tembrel-server -l version -d 'Show the version'
