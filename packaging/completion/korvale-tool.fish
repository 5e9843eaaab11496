# fish completion for korvale-tool: commands, options, their values, and file names by what
# each command reads.
set -l commands info convert import export compare thumbnail
set -l textures '(__fish_complete_suffix .mip; __fish_complete_suffix .srb)'
set -l pictures '(__fish_complete_suffix .png)'

complete -c korvale-tool -f
complete -c korvale-tool -n "not __fish_seen_subcommand_from $commands" -a info -d 'Summarise textures'
complete -c korvale-tool -n "not __fish_seen_subcommand_from $commands" -a convert -d 'Save as SRB or MIP'
complete -c korvale-tool -n "not __fish_seen_subcommand_from $commands" -a import -d 'Make a mip set from PNG pictures'
complete -c korvale-tool -n "not __fish_seen_subcommand_from $commands" -a export -d 'Write levels as PNG pictures'
complete -c korvale-tool -n "not __fish_seen_subcommand_from $commands" -a compare -d 'Compare two textures level by level'
complete -c korvale-tool -n "not __fish_seen_subcommand_from $commands" -a thumbnail -d 'Write a thumbnail'
complete -c korvale-tool -n "not __fish_seen_subcommand_from $commands" -l version -d 'Print the version'
complete -c korvale-tool -n "not __fish_seen_subcommand_from $commands" -l help -d 'Print the usage'

complete -c korvale-tool -n "__fish_seen_subcommand_from $commands" -s q -l quiet -d 'Errors only'
complete -c korvale-tool -n "__fish_seen_subcommand_from convert import export thumbnail" -s f -l force -d 'Replace existing outputs'
complete -c korvale-tool -n "__fish_seen_subcommand_from info convert" -a "$textures"
complete -c korvale-tool -n "__fish_seen_subcommand_from import" -a "$pictures $textures"
complete -c korvale-tool -n "__fish_seen_subcommand_from export compare thumbnail" -a "$textures $pictures"

complete -c korvale-tool -n "__fish_seen_subcommand_from info" -l json -d 'JSON Lines'
complete -c korvale-tool -n "__fish_seen_subcommand_from convert import" -l size -x -d 'Size in metres (or WxH)'
complete -c korvale-tool -n "__fish_seen_subcommand_from import export" -s o -x -a '(__fish_complete_directories)' -d 'Output folder'
complete -c korvale-tool -n "__fish_seen_subcommand_from import export" -s j -x -d 'Threads'
complete -c korvale-tool -n "__fish_seen_subcommand_from import" -l srb -d 'Write SRB files'
complete -c korvale-tool -n "__fish_seen_subcommand_from import" -l type -x -a 'pal4 rgb565 argb1555 argb4444 0 1 2 3 4 5' -d 'Pixel type'
complete -c korvale-tool -n "__fish_seen_subcommand_from import" -l palette -x -a "shared per-level keep $textures $pictures" -d 'Palette'
complete -c korvale-tool -n "__fish_seen_subcommand_from import" -l dither -d 'Error diffusion'
complete -c korvale-tool -n "__fish_seen_subcommand_from import" -l levels -x -d 'Top N levels'
complete -c korvale-tool -n "__fish_seen_subcommand_from import" -l filter -x -a 'area mitchell catmullrom cubic' -d 'Reduction filter'
complete -c korvale-tool -n "__fish_seen_subcommand_from import" -l repeat -x -a '0 1 2 3' -d 'Repeat code'
complete -c korvale-tool -n "__fish_seen_subcommand_from import" -l values -x -d 'Six SRB header values a,b,c,d,e,f'
complete -c korvale-tool -n "__fish_seen_subcommand_from import" -l like -x -a "$textures" -d 'Take the settings of an original'
complete -c korvale-tool -n "__fish_seen_subcommand_from export" -l level -x -a '0 1 2 3 4 5 6 7 8' -d 'Slot'
complete -c korvale-tool -n "__fish_seen_subcommand_from export" -l all -d 'Every level'
complete -c korvale-tool -n "__fish_seen_subcommand_from export" -l sheet -d 'All levels side by side'
complete -c korvale-tool -n "__fish_seen_subcommand_from export" -l raw -d 'Values as stored'
complete -c korvale-tool -n "__fish_seen_subcommand_from compare" -l min-psnr -x -d 'Lowest PSNR in dB'
complete -c korvale-tool -n "__fish_seen_subcommand_from thumbnail" -s s -x -a '128 256 512' -d 'Size in pixels'
