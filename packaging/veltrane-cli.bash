# Completion of veltrane-cli's commands, options and their values.
_veltrane_cli() {
  local cur prev cmd i
  COMPREPLY=()
  cur=${COMP_WORDS[COMP_CWORD]}
  prev=${COMP_WORDS[COMP_CWORD-1]}
  local commands="info mesh render table dump-holes invariants"
  cmd=""
  for ((i = 1; i < COMP_CWORD; i++)); do
    case " $commands " in *" ${COMP_WORDS[i]} "*) cmd=${COMP_WORDS[i]}; break ;; esac
  done
  if [[ -z $cmd ]]; then
    COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
    return
  fi
  case $prev in
    --layout) COMPREPLY=($(compgen -W "stacked flat reduced-flat flat-dt split diagram" -- "$cur")); return ;;
    --format)
      if [[ $cmd == render ]]; then COMPREPLY=($(compgen -W "png jpg bmp" -- "$cur"))
      else COMPREPLY=($(compgen -W "stl glb gltf obj ply" -- "$cur")); fi
      return ;;
    --view) COMPREPLY=($(compgen -W "top front side oblique" -- "$cur")); return ;;
    --up) COMPREPLY=($(compgen -W "y z" -- "$cur")); return ;;
    --filter) COMPREPLY=($(compgen -W "Box Quadratic B-spline Mitchell Lanczos" -- "$cur")); return ;;
    --knot)
      COMPREPLY=($(compgen -W "all $(veltrane-cli table 2>/dev/null | cut -f1)" -- "$cur"))
      return ;;
    -o|--output|--texture|--sky) COMPREPLY=($(compgen -f -- "$cur")); return ;;
    --preset|--set|--torus|--smooth|--refine|--size|--min-wall|--jobs|--width|--height|--scale|--antialias|\
    --blur|--jitter|--seed|--quality|--yaw|--pitch) return ;;
  esac
  local common="--layout --preset --set --knot --torus --smooth --refine --quiet --help"
  local options
  case $cmd in
    info) options="$common --json" ;;
    mesh) options="$common -o --output --size --min-wall --no-links --ascii --up --format --jobs" ;;
    render) options="$common -o --output --width --height --jobs --filter --scale --antialias --blur --jitter --seed --quality --view --yaw --pitch --fit --texture --sky" ;;
    table) options="--json --help" ;;
    dump-holes) options="-o --output --help" ;;
    invariants) options="--knot --json --help" ;;
  esac
  COMPREPLY=($(compgen -W "$options" -- "$cur"))
}
complete -F _veltrane_cli veltrane-cli
