DashboardScene {}
