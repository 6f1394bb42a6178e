MiniScene {}
