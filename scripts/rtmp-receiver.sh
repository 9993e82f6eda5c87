#!/usr/bin/env bash
# A local RTMP receiver: nginx with its RTMP module, one process in the
# foreground, on a configuration written into DIR (no `user` directive, so
# it runs as whoever starts it). Streams go to rtmp://127.0.0.1:PORT/live/<name>.
#   bash scripts/rtmp-receiver.sh DIR [PORT]     (PORT defaults to 1935)
set -euo pipefail
dir=$1
port=${2:-1935}
module=/usr/lib/nginx/modules/ngx_rtmp_module.so
if ! command -v nginx >/dev/null || [ ! -f "$module" ]; then
  echo "rtmp-receiver.sh: nginx or its RTMP module ($module) is missing." >&2
  exit 3
fi
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
{
  echo "load_module $module;"
  echo "daemon off;"
  echo "master_process off;"
  echo "error_log $dir/error.log warn;"
  echo "pid $dir/nginx.pid;"
  echo "events { worker_connections 64; }"
  echo "rtmp { server { listen 127.0.0.1:$port; application live { live on; record off; } } }"
} >"$dir/nginx.conf"
exec nginx -p "$dir" -e "$dir/error.log" -c "$dir/nginx.conf"
