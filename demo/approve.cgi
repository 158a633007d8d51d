#!/bin/sh
# DEMO ONLY: the stand-in provider's approval page, served by the demo host
# at /demo/approve. GET shows the code with Approve and Deny; POST records
# the decision in $LUMIVANE_DEMO_DATA/approval, where the stand-in login
# tool's --poll finds it. Only a code that matches the pending login is
# accepted, and only codes made of A-Z, 0-9 and '-' are ever echoed.
set -u

data=${LUMIVANE_DEMO_DATA:?LUMIVANE_DEMO_DATA is not set}
pending=${LUMIVANE_PENDING_PATH:-$data/login-pending.json}

# param TEXT NAME: the value of NAME in a form-encoded TEXT, kept only when
# it is a plausible user code or decision word.
param() {
  printf '%s' "$1" | tr '&' '\n' | sed -n "s/^$2=\([A-Za-z0-9-]\{1,16\}\)$/\1/p" | head -n 1
}

expected=$(sed -n 's/.*"user_code":"\([A-Z0-9-]*\)".*/\1/p' "$pending" 2>/dev/null | head -n 1)
method=${REQUEST_METHOD:-GET}
message=""
decided=""

if [ "$method" = POST ]; then
  len=${CONTENT_LENGTH:-0}
  case "$len" in ''|*[!0-9]*) len=0 ;; esac
  [ "$len" -gt 1024 ] && len=1024
  body=$(head -c "$len")
  code=$(param "$body" code | tr 'a-z' 'A-Z')
  decision=$(param "$body" decision)
  if [ -z "$expected" ]; then
    message="There is no login waiting for approval."
  elif [ "$code" != "$expected" ]; then
    message="That code does not match the login in progress."
  elif [ "$decision" = approve ] || [ "$decision" = deny ]; then
    printf '%s %s\n' "$decision" "$code" > "$data/approval"
    decided=$decision
  else
    message="Choose Approve or Deny."
  fi
else
  code=$(param "${QUERY_STRING:-}" code | tr 'a-z' 'A-Z')
fi

printf 'Content-Type: text/html; charset=utf-8\r\nCache-Control: no-store\r\n\r\n'
cat <<HTML
<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8">
<meta name="viewport" content="width=device-width,initial-scale=1">
<title>LumiVane sign-in (demo)</title>
<style>
body { font-family: system-ui, sans-serif; background: #f5f5f7; color: #1d1d1f; margin: 0; }
main { max-width: 420px; margin: 48px auto; background: #fff; border-radius: 14px; padding: 24px;
       box-shadow: 0 2px 10px rgba(0,0,0,.06); }
h1 { font-size: 18px; margin: 0 0 4px; }
.demo { font-size: 12px; color: #7a5a00; margin: 0 0 16px; }
label { font-size: 13px; color: #6e6e73; display: block; margin-bottom: 6px; }
input { font: 600 22px ui-monospace, monospace; letter-spacing: .12em; width: 100%; box-sizing: border-box; padding: 8px 10px;
        border: 1px solid rgba(0,0,0,.12); border-radius: 10px; text-transform: uppercase; }
.row { display: flex; gap: 8px; margin-top: 16px; }
button { font: 600 14px system-ui, sans-serif; border-radius: 980px; padding: 8px 18px; border: 0; cursor: pointer; }
#approve { background: #0066d6; color: #fff; }
#deny { background: transparent; color: #c4281e; border: 1px solid rgba(255,59,48,.35); }
.msg { font-size: 13px; margin-top: 14px; }
</style></head><body><main>
<h1>Sign in to LumiVane</h1>
<p class="demo">Demo approval page: no real account is involved.</p>
HTML
if [ -n "$decided" ]; then
  if [ "$decided" = approve ]; then
    echo '<p id="result" class="msg">Approved. Return to the console; it picks the sign-in up at its next poll.</p>'
  else
    echo '<p id="result" class="msg">Denied. The console reports the login as failed at its next poll.</p>'
  fi
else
  cat <<HTML
<form method="post" action="/demo/approve">
<label for="code">User code shown in the console</label>
<input id="code" name="code" value="${code}" autocomplete="off" spellcheck="false">
<div class="row">
<button id="approve" name="decision" value="approve" type="submit">Approve</button>
<button id="deny" name="decision" value="deny" type="submit">Deny</button>
</div>
</form>
HTML
  [ -n "$message" ] && printf '<p id="result" class="msg">%s</p>\n' "$message"
fi
echo '</main></body></html>'
